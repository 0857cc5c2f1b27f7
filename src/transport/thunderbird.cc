// Hands the job to Thunderbird's compose window and logs the command.
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "base/failure.h"
#include "base/steps.h"
#include "base/text.h"
#include "transport/thunderbird.h"

namespace postique {

namespace {

// Every byte but the unreserved characters of URLs (and those of kept) as
// %XX.
std::string PercentEncode(std::string_view text, std::string_view kept = {}) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~' ||
        kept.find(c) != std::string_view::npos) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

// Thunderbird splits its attachment list at every comma, ";" being no
// separator to it: the job's entries are joined with commas, and an entry
// holding a comma goes as a file: URL, which Thunderbird keeps whole.
std::string AttachmentList(const std::string& fichero) {
  std::string list;
  bool first = true;
  for (const std::string& entry : Split(fichero, ";")) {
    if (!first) list += ',';
    first = false;
    if (entry.find(',') == std::string::npos) {
      list += entry;
      continue;
    }
    std::string path = ReplaceAll(entry, "\\", "/");
    if (!path.starts_with("/")) path.insert(0, "/");  // a drive: file:///C:/...
    list += "file://" + PercentEncode(path, "/:");
  }
  return list;
}

// Double quotes inside the argument by the Windows command-line rules, so
// that none can end it: \" for each, the backslashes right before it doubled.
std::string EscapeQuotes(std::string_view text) {
  std::string out;
  size_t backslashes = 0;
  for (const char c : text) {
    if (c == '"') {
      out.append(backslashes, '\\');
      out += "\\\"";
    } else {
      out += c;
    }
    backslashes = c == '\\' ? backslashes + 1 : 0;
  }
  return out;
}

// The compose fields as they are filled: placeholders are looked for in the
// template's own text only, never in a value already put in, so that no
// value can fill, or join into, another field.
class ComposeFields {
 public:
  explicit ComposeFields(std::string text) { pieces_.push_back({std::move(text), false}); }

  // Replaces the placeholder by the value. Thunderbird reads a quoted value
  // up to the first apostrophe followed by a comma: a value holding one goes
  // unquoted and percent-encoded, which Thunderbird decodes whole.
  void Fill(const std::string& placeholder, const std::string& value) {
    const bool quoted = value.find("',") == std::string::npos;
    const std::string wanted = quoted ? placeholder : "'" + placeholder + "'";
    const std::string put = quoted ? value : PercentEncode(value);
    std::vector<Piece> filled;
    for (Piece& piece : pieces_) {
      if (piece.value) {
        filled.push_back(std::move(piece));
        continue;
      }
      size_t from = 0;
      for (size_t at; (at = piece.text.find(wanted, from)) != std::string::npos;
           from = at + wanted.size()) {
        filled.push_back({piece.text.substr(from, at - from), false});
        filled.push_back({put, true});
      }
      filled.push_back({piece.text.substr(from), false});
    }
    pieces_ = std::move(filled);
  }

  std::string Text() const {
    std::string text;
    for (const Piece& piece : pieces_) text += piece.text;
    return text;
  }

 private:
  struct Piece {
    std::string text;
    bool value;  // put in by Fill
  };
  std::vector<Piece> pieces_;
};

}  // namespace

bool SendWithThunderbird(const MainWindowParts& w, const SendJob& job) {
  ComposeFields fields("");
  std::string compose;
  std::unique_ptr<TextWriter> log;
  bool launched = true;
  Steps s([&w](int, const Failure& f) {
    w.p.screen.MsgBox(
        "Error al enviar con thunderbird\r\n" + std::to_string(f.number()) + "." + f.description(),
        mb::kOk);
    return After::kNextStep;
  });
  s.Do(1, [&] {
    fields = ComposeFields("attachment='%files%',to='%to%',subject='%subject%',body='%body%'");
  });
  s.Do(2, [&] { fields.Fill("%to%", job.destino); });
  s.Do(3, [&] { fields.Fill("%subject%", job.asunto); });
  s.Do(4, [&] { fields.Fill("%body%", job.cuerpo); });
  s.Do(5, [&] { fields.Fill("%files%", AttachmentList(job.fichero)); });
  s.Do(6, [&] {
    compose = std::string("-compose ") + '"' + EscapeQuotes(fields.Text()) + '"';
    // Nothing comes back from Thunderbird, but a start the shell could not
    // make is a send that did not happen.
    if (const int started = w.p.launcher.Open("thunderbird", compose); started <= 32) {
      launched = false;
      throw Failure(started, std::string(DescribeShellError(started)));
    }
  });
  // 7 and 8: the writer is the log's file handle.
  s.Do(8, [&] {
    log =
        w.p.files.CreateText(w.p.files.ProgramFolder() + w.p.files.Separator() + "thunderbird.log");
  });
  s.Do(9, [&] {
    if (!log) Raise(Err::kBadFileNameOrNumber, "thunderbird.log");
    log->Write("thunderbird " + compose + "\r\n");
  });
  s.Do(10, [&] {
    if (log) log->Close();
  });
  return launched;
}

}  // namespace postique

#include <gtest/gtest.h>

#include <filesystem>

#include "base/command_line.h"
#include "fakes/harness.h"

namespace postique::testing {
namespace {

struct Sent {
  std::string argument;
  std::string log;  // the log file's bytes
};

// Runs a job with method letter T and returns what reached the shell and the log.
Sent SendThroughThunderbird(Harness& h, const std::string& destino, const std::string& asunto,
                            const std::string& cuerpo, const std::string& fichero) {
  h.Job(destino + "\r\n" + asunto + "\r\n" + cuerpo + "\r\n" + fichero + "\r\n\r\nT\r\n");
  EXPECT_EQ(h.Start(), 0);
  EXPECT_EQ(h.launcher.starts.size(), 1u);
  if (h.launcher.starts.empty()) return {};
  EXPECT_EQ(h.launcher.starts[0].program, "thunderbird");
  return {h.launcher.starts[0].parameters, ReadFile(h.program / "thunderbird.log")};
}

TEST(Thunderbird, FillsTheComposeTemplateAndLogsTheCommand) {
  Harness h;
  const Sent sent = SendThroughThunderbird(h, "D", "S", "B", "F");
  EXPECT_EQ(sent.argument, "-compose \"attachment='F',to='D',subject='S',body='B'\"");
  EXPECT_EQ(sent.log, "thunderbird -compose \"attachment='F',to='D',subject='S',body='B'\"\r\n");
  EXPECT_TRUE(h.screen.boxes.empty());
  EXPECT_TRUE(h.mail.calls.empty());
}

TEST(Thunderbird, InsertsValuesUnchanged) {
  const struct {
    std::string destino, asunto, cuerpo, fichero, argument;
  } cases[] = {
      {"", "S", "B", "", "attachment='',to='',subject='S',body='B'"},
      {"D", "X'Y", "B", "", "attachment='',to='D',subject='X'Y',body='B'"},
      {"D", "S", "uno, dos", "", "attachment='',to='D',subject='S',body='uno, dos'"},
      // A double quote is written so that it cannot end the argument.
      {"D", "di \"hola\"", "B", "", "attachment='',to='D',subject='di \\\"hola\\\"',body='B'"},
      // A placeholder inside a value is its text, whichever field comes first.
      {"D", "ver %body%", "con %to%", "",
       "attachment='',to='D',subject='ver %body%',body='con %to%'"},
      {"D", "%BODY% %Files%", "B", "", "attachment='',to='D',subject='%BODY% %Files%',body='B'"},
      {"D", "S", "B", "/f/a.pdf;/f/b b.pdf",
       "attachment='/f/a.pdf,/f/b b.pdf',to='D',subject='S',body='B'"},
      {"D", "S", "B", "/f/a.pdf;", "attachment='/f/a.pdf,',to='D',subject='S',body='B'"},
  };
  for (const auto& c : cases) {
    Harness h;
    const Sent sent = SendThroughThunderbird(h, c.destino, c.asunto, c.cuerpo, c.fichero);
    EXPECT_EQ(sent.argument, "-compose \"" + c.argument + "\"");
    EXPECT_EQ(sent.log, "thunderbird " + sent.argument + "\r\n");
  }
}

TEST(Thunderbird, WritesTheLogInWindows1252AndReplacesTheLastOne) {
  Harness h;
  WriteFile(h.program / "thunderbird.log",
            "thunderbird -compose \"una orden anterior más larga\"\r\n");
  const Sent sent = SendThroughThunderbird(h, "D", "A\xf1o \x80", "B", "");  // the job's bytes
  EXPECT_EQ(sent.argument, "-compose \"attachment='',to='D',subject='Año €',body='B'\"");
  EXPECT_EQ(sent.log,
            "thunderbird -compose \"attachment='',to='D',subject='A\xf1o \x80',body='B'\"\r\n");
}

TEST(Thunderbird, AFailedLaunchIsReportedLoggedAndEndsAsAFailedSend) {
  Harness h;
  h.launcher.result = 2;  // the shell found no thunderbird
  h.Job("D\r\nS\r\nB\r\n\r\n\r\nT\r\n");
  EXPECT_EQ(h.Start(), 1) << "a caller can tell that the job did not leave";
  ASSERT_EQ(h.screen.boxes.size(), 1u);
  EXPECT_EQ(h.screen.boxes[0].text,
            "Error al enviar con thunderbird\r\n2.No se ha encontrado el programa");
  EXPECT_EQ(h.screen.boxes[0].style, 0);
  EXPECT_EQ(ReadFile(h.program / "thunderbird.log"),
            "thunderbird " + h.launcher.starts[0].parameters + "\r\n")
      << "the log steps go on";
  EXPECT_FALSE(Exists(h.work / "job.txt"));
}

TEST(Thunderbird, FieldsThatThunderbirdWouldCutOrSplitArriveWhole) {
  const struct {
    std::string destino, asunto, cuerpo, fichero, argument;
  } cases[] = {
      // A double quote never ends the argument: Thunderbird gets two, always.
      {"D", "S", "hola\" -P \"otro", "",
       "attachment='',to='D',subject='S',body='hola\\\" -P \\\"otro'"},
      {"D", "S", "a\\\"b\\", "", "attachment='',to='D',subject='S',body='a\\\\\\\"b\\'"},
      {"D", "\"", "\\\\\"", "", "attachment='',to='D',subject='\\\"',body='\\\\\\\\\\\"'"},
      // An entry holding a comma goes as a file: URL; the others as they are.
      {"D", "S", "B", "/f/a,b.pdf;/f/c.pdf",
       "attachment='file:///f/a%2Cb.pdf,/f/c.pdf',to='D',subject='S',body='B'"},
      {"D", "S", "B", "C:\\Mis Facturas\\a\xf1o,1.pdf",  // the job's bytes
       "attachment='file:///C:/Mis%20Facturas/a%C3%B1o%2C1.pdf',to='D',subject='S',body='B'"},
      // An apostrophe followed by a comma: unquoted and percent-encoded.
      {"D", "Factura 'A', B", "B", "",
       "attachment='',to='D',subject=Factura%20%27A%27%2C%20B,body='B'"},
      // A placeholder inside such a value is its text, not filled.
      {"D", "x', %body%", "B", "", "attachment='',to='D',subject=x%27%2C%20%25body%25,body='B'"},
  };
  for (const auto& c : cases) {
    Harness h;
    const Sent sent = SendThroughThunderbird(h, c.destino, c.asunto, c.cuerpo, c.fichero);
    EXPECT_EQ(sent.argument, "-compose \"" + c.argument + "\"") << c.cuerpo << c.fichero;
    EXPECT_EQ(sent.log, "thunderbird " + sent.argument + "\r\n") << "exactly what was passed";
    // What Thunderbird gets: -compose and the fields, each value unchanged.
    const std::vector<std::string> args = SplitWindowsCommandLine(sent.argument);
    ASSERT_EQ(args.size(), 2u) << sent.argument;
    EXPECT_EQ(args[0], "-compose");
    if (c.fichero.empty() && c.asunto.find("',") == std::string::npos) {
      EXPECT_EQ(args[1], "attachment='',to='" + c.destino + "',subject='" + c.asunto + "',body='" +
                             c.cuerpo + "'");
    }
  }
}

// The fields as Thunderbird reads them: key=value separated by commas, a
// value quoted with ' running to the next ' followed by a comma or the end.
std::vector<std::pair<std::string, std::string>> ComposeFieldsRead(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> fields;
  for (size_t at = 0; at < text.size();) {
    const size_t equals = text.find('=', at);
    if (equals == std::string::npos) break;
    std::string key = text.substr(at, equals - at), value;
    size_t end;
    if (text.compare(equals + 1, 1, "'") == 0) {
      end = equals + 1;
      do {
        end = text.find('\'', end + 1);
      } while (end != std::string::npos && end + 1 < text.size() && text[end + 1] != ',');
      value = text.substr(equals + 2, end - equals - 2);
      end = end == std::string::npos ? text.size() : end + 1;
    } else {
      end = std::min(text.find(',', equals), text.size());
      value = text.substr(equals + 1, end - equals - 1);
    }
    fields.emplace_back(std::move(key), std::move(value));
    at = end + 1;
  }
  return fields;
}

// Each value passes the apostrophe guard alone; filled into each other they
// made an attachment key of their own.
TEST(Thunderbird, NoFieldCanFillOrSpliceAnother) {
  Harness h;
  const std::string destino = "%subject%,attachment='/home/ana/.ssh/id_rsa";
  const Sent sent = SendThroughThunderbird(h, destino, "x'", "B", "/f/a.pdf");
  const std::vector<std::string> args = SplitWindowsCommandLine(sent.argument);
  ASSERT_EQ(args.size(), 2u) << sent.argument;
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"attachment", "/f/a.pdf"}, {"to", destino}, {"subject", "x'"}, {"body", "B"}};
  EXPECT_EQ(ComposeFieldsRead(args[1]), expected) << args[1];
}

TEST(Thunderbird, ALogThatCannotBeWrittenShowsABoxPerFailingStep) {
  Harness h;
  ASSERT_TRUE(std::filesystem::create_directory(Native(h.program / "thunderbird.log")));
  h.Job("D\r\nS\r\nB\r\n\r\n\r\nT\r\n");
  EXPECT_EQ(h.Start(), 0);
  EXPECT_EQ(h.launcher.starts.size(), 1u) << "the launch is not undone";
  ASSERT_EQ(h.screen.boxes.size(), 2u);
  EXPECT_EQ(h.screen.boxes[0].text.rfind("Error al enviar con thunderbird\r\n7", 0), 0u)
      << "a permission or access error: " << h.screen.boxes[0].text;
  EXPECT_EQ(h.screen.boxes[1].text,
            "Error al enviar con thunderbird\r\n52.Nombre o número de archivo incorrecto: "
            "thunderbird.log");
  for (const Box& b : h.screen.boxes) EXPECT_EQ(b.style, 0);
}

TEST(Thunderbird, AJobWithoutMethodGoesToThunderbirdWhenChosen) {
  Harness h;
  h.Job("D\r\nS\r\nB\r\n\r\n");
  h.screen.dialogChoices = {1};
  EXPECT_EQ(h.Start(), 0);
  EXPECT_EQ(h.launcher.starts.size(), 1u);
  EXPECT_TRUE(Exists(h.program / "thunderbird.log"));
}

}  // namespace
}  // namespace postique::testing

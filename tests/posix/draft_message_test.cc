// The draft writer's output read back by GMime, as a mail program would read
// it: recipients, subject, body and every attachment's name and bytes, with
// hostile names, long lines and long headers.
#include "transport/draft_message.h"

#include <gmime/gmime.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "fakes/failures.h"
#include "fakes/temp_dir.h"
#include "posix/run_program.h"

namespace postique::testing {
namespace {

struct Parsed {
  std::string unsent, to, subject, body;
  std::vector<std::pair<std::string, std::string>> files;  // name, bytes
  std::string type0;                                       // the first attachment's type
};

std::string Decoded(GMimePart* part) {
  GMimeStream* out = g_mime_stream_mem_new();
  g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(part), out);
  GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
  std::string text(reinterpret_cast<const char*>(bytes->data), bytes->len);
  g_object_unref(out);
  return text;
}

Parsed Parse(const std::string& raw) {
  g_mime_init();
  Parsed p;
  GMimeStream* stream = g_mime_stream_mem_new_with_buffer(raw.data(), raw.size());
  GMimeParser* parser = g_mime_parser_new_with_stream(stream);
  GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
  EXPECT_NE(message, nullptr);
  if (!message) return p;
  const char* unsent = g_mime_object_get_header(GMIME_OBJECT(message), "X-Unsent");
  p.unsent = unsent ? unsent : "";
  char* to = internet_address_list_to_string(g_mime_message_get_to(message), nullptr, false);
  p.to = to ? to : "";
  g_free(to);
  const char* subject = g_mime_message_get_subject(message);
  p.subject = subject ? subject : "";
  GMimeObject* top = g_mime_message_get_mime_part(message);
  EXPECT_TRUE(GMIME_IS_MULTIPART(top));
  GMimeMultipart* parts = GMIME_MULTIPART(top);
  for (int i = 0; i < g_mime_multipart_get_count(parts); ++i) {
    GMimePart* part = GMIME_PART(g_mime_multipart_get_part(parts, i));
    if (i == 0) {
      p.body = Decoded(part);
      continue;
    }
    const char* name = g_mime_part_get_filename(part);
    if (i == 1) {
      char* type =
          g_mime_content_type_get_mime_type(g_mime_object_get_content_type(GMIME_OBJECT(part)));
      p.type0 = type;
      g_free(type);
    }
    p.files.emplace_back(name ? name : "", Decoded(part));
  }
  g_object_unref(message);
  g_object_unref(parser);
  g_object_unref(stream);
  return p;
}

std::string Write(const std::vector<std::string>& to, const std::string& subject,
                  const std::string& body,
                  const std::vector<std::pair<std::string, std::string>>& files,
                  size_t chunk = 1000) {
  std::string raw;
  DraftWriter writer([&](std::string_view piece) { raw.append(piece); });
  writer.Begin(to, subject, body);
  for (const auto& [name, bytes] : files) {
    writer.Attach(name, name.ends_with(".pdf") ? "application/pdf" : "");
    for (size_t at = 0; at < bytes.size(); at += chunk) writer.Bytes(bytes.substr(at, chunk));
  }
  writer.End();
  return raw;
}

TEST(DraftMessage, WhatIsWrittenIsReadBackWhole) {
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary += static_cast<char>(i * 7 % 256);
  const std::string longName = std::string(120, 'n') + " ñ €.txt";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"factura 42.pdf", "%PDF-1.4"},      {"albarán nº 7.bin", binary},
      {"comillas \" y \\ barra.txt", "c"}, {longName, ""},
      {"=?utf-8?q?falso?=.txt", "f"},
  };
  const std::string subject =
      "Factura año 2026 con € y una línea muy larga " + std::string(200, 'x');
  const std::string body = "Adjunta la factura.\r\nSegunda línea " + std::string(3000, 'y');
  for (const size_t chunk : {size_t{1}, size_t{57}, size_t{65536}}) {
    const std::string raw =
        Write({"ana@example.es", "pepe@example.es"}, subject, body, files, chunk);
    for (const std::string& line : Split(raw, "\r\n")) {
      EXPECT_LE(line.size(), 78u) << line;
      EXPECT_EQ(line.find('\n'), std::string::npos) << "CRLF only";
    }
    const Parsed p = Parse(raw);
    EXPECT_EQ(p.unsent, "1");
    EXPECT_EQ(p.to, "ana@example.es, pepe@example.es");
    EXPECT_EQ(p.subject, subject);
    EXPECT_TRUE(p.body == body) << "the body, chunk " << chunk;
    EXPECT_EQ(p.type0, "application/pdf");
    ASSERT_EQ(p.files.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
      EXPECT_EQ(p.files[i].first, files[i].first);
      EXPECT_TRUE(p.files[i].second == files[i].second) << files[i].first << " chunk " << chunk;
    }
  }
}

// GMime joins adjacent encoded words before it decodes them; Python decodes
// each: both must read the subject whole, and a name that looks like an
// encoded word as it was written.
TEST(DraftMessage, EveryReaderReadsTheSubjectAndNamesAsWritten) {
  const std::string subject =
      "Factura nº 0042, pedido de Peña: envío de la mercancía a Logroño y Cádiz (€ 1.234,56)";
  const std::vector<std::pair<std::string, std::string>> files = {{"=?utf-8?q?hola?=.txt", "h"},
                                                                  {"pedido nº 7 de Peña.pdf", "p"}};
  const TempDir folder;
  const std::string file = folder / "draft.eml";
  for (const std::string& written : {subject, std::string("=?utf-8?q?hola?=")}) {
    const std::string raw = Write({"ana@example.es"}, written, "Cuerpo", files);
    WriteFile(file, raw);
    EXPECT_EQ(Parse(raw).subject, written) << "GMime";
    EXPECT_EQ(PythonReads(file),
              written + "\n" + files[0].first + "\n" + files[1].first + "\nCuerpo")
        << "Python";
  }
}

TEST(DraftMessage, NothingButAMailAddressIsARecipient) {
  for (const char* good : {"ana@example.es", "a.b+c@sub.example.es"}) {
    EXPECT_TRUE(IsMailAddress(good)) << good;
  }
  for (const char* bad :
       {"", "ana", "@example.es", "ana@", "a@b@c", "ana @example.es", "Ana <ana@example.es>",
        "ana@example.es\r\nBcc: otro@example.es", "añá@example.es", "a,b@example.es"}) {
    EXPECT_FALSE(IsMailAddress(bad)) << bad;
  }
  EXPECT_EQ(FailureNumber([] { Write({"ana@example.es\r\nBcc: x@y.es"}, "s", "b", {}); }), 32014);
  // A content type that is none is no header of its own either.
  std::string raw;
  DraftWriter writer([&](std::string_view piece) { raw.append(piece); });
  writer.Begin({"ana@example.es"}, "s", "b");
  writer.Attach("x.bin", "text/plain\r\nX-Inyectada: 1");
  writer.End();
  EXPECT_EQ(raw.find("X-Inyectada"), std::string::npos);
  EXPECT_EQ(Parse(raw).type0, "application/octet-stream");
}

}  // namespace
}  // namespace postique::testing

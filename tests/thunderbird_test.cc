#include <gtest/gtest.h>

#include <filesystem>

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
      {"D", "di \"hola\"", "B", "", "attachment='',to='D',subject='di \"hola\"',body='B'"},
      // A later placeholder inside an earlier value is filled; an earlier one stays.
      {"D", "ver %body%", "con %to%", "",
       "attachment='',to='D',subject='ver con %to%',body='con %to%'"},
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

TEST(Thunderbird, AFailedLaunchIsStillLoggedAndReportedByNobody) {
  Harness h;
  h.launcher.result = 2;
  const Sent sent = SendThroughThunderbird(h, "D", "S", "B", "");
  EXPECT_EQ(sent.log, "thunderbird " + sent.argument + "\r\n");
  EXPECT_TRUE(h.screen.boxes.empty());
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

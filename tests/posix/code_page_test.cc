#include "platform/posix/code_page.h"

#include <gtest/gtest.h>

namespace postique::posix {
namespace {

TEST(CodePage, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(CodePage, DecodesWindows1252) {
  EXPECT_EQ(Cp1252ToUtf8("A\xf1o \x80 \x93x\x94"), "Año € “x”");
  // The bytes left undefined become the C1 characters of the same value.
  EXPECT_EQ(Cp1252ToUtf8("\x81\x8d\x8f\x90\x9d"), "\u0081\u008d\u008f\u0090\u009d");
}

TEST(CodePage, EncodesWhatItCanAndMarksTheRest) {
  EXPECT_EQ(Utf8ToCp1252("Año €"), "A\xf1o \x80");
  EXPECT_EQ(Utf8ToCp1252("日本"), "??");
  EXPECT_EQ(Utf8ToCp1252("a\xff"
                         "b"),
            "a?b");
  EXPECT_EQ(Utf8ToCp1252("\xc3"), "?");
}

}  // namespace
}  // namespace postique::posix

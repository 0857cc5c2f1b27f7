#include "platform/win32/code_page.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace postique::win32 {
namespace {

TEST(Win32CodePage, EveryByteOfWindows1252ComesBackUnchanged) {
  if (::GetACP() != 1252) GTEST_SKIP() << "the system's code page is " << ::GetACP();
  for (int b = 1; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(byte)), byte) << b;
  }
  EXPECT_EQ(AnsiToUtf8("A\xf1o \x80"), "Año €");
  // The five bytes Windows-1252 leaves undefined are the C1 controls.
  EXPECT_EQ(AnsiToUtf8("\x81\x8d\x8f\x90\x9d"), "\u0081\u008d\u008f\u0090\u009d");
}

TEST(Win32CodePage, WhatTheCodePageCannotHoldBecomesAQuestionMark) {
  if (::GetACP() != 1252) GTEST_SKIP() << "the system's code page is " << ::GetACP();
  // Never a look-alike: a full-width quote must not become a real one.
  EXPECT_EQ(Utf8ToAnsi("ā \uff02x\uff02 日本"), "? ?x? ??");
}

TEST(Win32CodePage, Utf16RoundTripsEveryCharacter) {
  const std::string text = "año € \U0001D11E заказ 注文";
  EXPECT_EQ(Utf8(Wide(text)), text);
  EXPECT_EQ(Wide("\U0001D11E"), std::wstring(L"\xD834\xDD1E"));
  EXPECT_EQ(Utf8(Wide("a\xff"
                      "b")),
            "a\uFFFDb")
      << "malformed UTF-8";
}

}  // namespace
}  // namespace postique::win32

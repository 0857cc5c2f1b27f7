#include "base/text.h"

#include <gtest/gtest.h>

#include "base/failure.h"

namespace postique {
namespace {

using Lines = std::vector<std::string>;

TEST(Text, SplitKeepsEveryEmptyPart) {
  EXPECT_EQ(Split("a;b", ";"), (Lines{"a", "b"}));
  EXPECT_EQ(Split("a;", ";"), (Lines{"a", ""}));
  EXPECT_EQ(Split(";;", ";"), (Lines{"", "", ""}));
  EXPECT_EQ(Split("", ";"), (Lines{""}));
  EXPECT_EQ(Split("a,b", ";"), (Lines{"a,b"}));
}

TEST(Text, SplitRecipientsTakesEveryAddressOfAList) {
  EXPECT_EQ(SplitRecipients("uno@x.es;dos@x.es"), (Lines{"uno@x.es", "dos@x.es"}));
  EXPECT_EQ(SplitRecipients(" uno@x.es , dos@x.es;; tres@x.es ;"),
            (Lines{"uno@x.es", "dos@x.es", "tres@x.es"}));
  EXPECT_EQ(SplitRecipients("\"Pérez; Ana\" <ana@x.es>, <\"a,b\"@x.es>"),
            (Lines{"\"Pérez; Ana\" <ana@x.es>", "<\"a,b\"@x.es>"}));
  EXPECT_EQ(SplitRecipients("ana@x.es"), (Lines{"ana@x.es"}));
  EXPECT_EQ(SplitRecipients(" ; "), Lines{});
}

TEST(Text, FileNamePartIsAfterTheLastSeparator) {
  EXPECT_EQ(FileNamePart("C:\\Facturas\\f-1.pdf"), "f-1.pdf");
  EXPECT_EQ(FileNamePart("/home/a/b c.pdf"), "b c.pdf");
  EXPECT_EQ(FileNamePart("C:/x\\y/z.pdf"), "z.pdf");
  EXPECT_EQ(FileNamePart("f.pdf"), "f.pdf");
  EXPECT_EQ(FileNamePart("C:\\dir\\"), "");
}

TEST(Text, ReplaceAllIsExactAndDoesNotSearchWhatItInserted) {
  EXPECT_EQ(ReplaceAll("%to% y %to%", "%to%", "x"), "x y x");
  EXPECT_EQ(ReplaceAll("%TO%", "%to%", "x"), "%TO%");
  EXPECT_EQ(ReplaceAll("aa", "a", "aa"), "aaaa");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

TEST(Text, ContainsIgnoringCaseFindsTheFilterAnywhere) {
  EXPECT_TRUE(ContainsIgnoringCase("Re: nuevo pedido trambelo 12", "PEDIDO TRAMBELO"));
  EXPECT_TRUE(ContainsIgnoringCase("PEDIDO TRAMBELO", "PEDIDO TRAMBELO"));
  EXPECT_FALSE(ContainsIgnoringCase("PEDIDO-TRAMBELO", "PEDIDO TRAMBELO"));
  EXPECT_FALSE(ContainsIgnoringCase("PEDIDO", "PEDIDO TRAMBELO"));
  EXPECT_FALSE(ContainsIgnoringCase("", "PEDIDO TRAMBELO"));
}

TEST(Text, BooleanConversionAcceptsNumbersAndWords) {
  const struct {
    const char* text;
    std::optional<bool> value;
  } cases[] = {
      {"1", true},          {"0", false},          {"-1", true},          {" 0 ", false},
      {"2.5", true},        {"0.0", false},        {".5", true},          {"1e3", true},
      {"0e5", false},       {"+0", false},         {"True", true},        {"FALSE", false},
      {"verdadero", true},  {"Falso", false},      {"\ttrue ", true},     {"", std::nullopt},
      {"  ", std::nullopt}, {"si", std::nullopt},  {"1a", std::nullopt},  {".", std::nullopt},
      {"1e", std::nullopt}, {"0x1", std::nullopt}, {"nan", std::nullopt}, {"tru", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseBoolean(c.text), c.value) << '"' << c.text << '"';
}

TEST(Text, ToBooleanFailsWithTypeMismatch) {
  try {
    ToBoolean("quizás");
    FAIL() << "no failure";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), 13);
    EXPECT_EQ(f.description(), "No coinciden los tipos");
  }
}

TEST(Text, SplitLinesEndsLinesAtCrLfLfAndCr) {
  EXPECT_EQ(SplitLines("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(SplitLines("a\nb\rc"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\n\rb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines("\r\n"), (Lines{""}));
  EXPECT_EQ(SplitLines(""), Lines{});
}

}  // namespace
}  // namespace postique

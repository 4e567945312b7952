#include "core/latin1.h"

#include <gtest/gtest.h>

#include <string>

namespace vexa {
namespace {

using Problem = Latin1Conversion::Problem;

TEST(Utf8ToLatin1, CarriesEveryCharacterUpToU00FFAsOneByte) {
  struct Case {
    const char* name;
    std::string utf8;
    std::string latin1;
  };
  const Case cases[] = {
      {"empty", "", ""},
      {"ASCII", "MEAS:CURR?", "MEAS:CURR?"},
      {"NUL and DEL", std::string("a\0\x7F", 3), std::string("a\0\x7F", 3)},
      {"U+0080, the first two-byte character", "\xC2\x80", "\x80"},
      {"micro sign", "SENS:CURR:RANG 3\xC2\xB5", "SENS:CURR:RANG 3\xB5"},
      {"degree and y with diaeresis (U+00FF)", "\xC2\xB0\xC3\xBF", "\xB0\xFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Latin1Conversion result = Utf8ToLatin1(c.utf8);
    EXPECT_EQ(result.problem, Problem::kNone);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.bytes, c.latin1);
  }
}

TEST(Utf8ToLatin1, ReportsTheFirstProblemWithItsPosition) {
  struct Case {
    const char* name;
    std::string utf8;
    Problem problem;
    char32_t code_point;
    std::size_t position;
  };
  const Case cases[] = {
      {"U+0100, the first character beyond Latin-1", "ab\xC4\x80", Problem::kBeyondLatin1, 0x100,
       2},
      {"Greek capital Omega", "R=5\xCE\xA9", Problem::kBeyondLatin1, 0x3A9, 3},
      {"euro sign (three bytes)", "\xE2\x82\xAC", Problem::kBeyondLatin1, 0x20AC, 0},
      {"U+1F600 (four bytes)", "x\xF0\x9F\x98\x80", Problem::kBeyondLatin1, 0x1F600, 1},
      {"U+10FFFF, the last code point", "\xF4\x8F\xBF\xBF", Problem::kBeyondLatin1, 0x10FFFF, 0},
      {"the first of two problems wins", "\xCE\xA9\xFF", Problem::kBeyondLatin1, 0x3A9, 0},
      {"a Latin-1 byte that is not UTF-8", "3\xB5", Problem::kInvalidUtf8, 0, 1},
      {"invalid before a character beyond Latin-1", "\x80\xCE\xA9", Problem::kInvalidUtf8, 0, 0},
      {"truncated two-byte sequence", "ab\xC2", Problem::kInvalidUtf8, 0, 2},
      {"truncated three-byte sequence", "\xE2\x82", Problem::kInvalidUtf8, 0, 0},
      {"lead byte followed by ASCII", "\xC3(", Problem::kInvalidUtf8, 0, 0},
      {"overlong '/' in two bytes", "\xC0\xAF", Problem::kInvalidUtf8, 0, 0},
      {"overlong U+00B5 in two bytes (C1)", "\xC1\xB5", Problem::kInvalidUtf8, 0, 0},
      {"overlong U+00B5 in three bytes", "\xE0\x82\xB5", Problem::kInvalidUtf8, 0, 0},
      {"overlong U+0041 in four bytes", "\xF0\x80\x81\x81", Problem::kInvalidUtf8, 0, 0},
      {"surrogate U+D800", "\xED\xA0\x80", Problem::kInvalidUtf8, 0, 0},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", Problem::kInvalidUtf8, 0, 0},
      {"F5 lead byte", "\xF5\x80\x80\x80", Problem::kInvalidUtf8, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Latin1Conversion result = Utf8ToLatin1(c.utf8);
    EXPECT_EQ(result.problem, c.problem);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.code_point, c.code_point);
    EXPECT_EQ(result.position, c.position);
  }
}

TEST(Latin1ToUtf8, EncodesEachByteAsItsCharacter) {
  EXPECT_EQ(Latin1ToUtf8(""), "");
  EXPECT_EQ(Latin1ToUtf8("<---*IDN?"), "<---*IDN?");
  EXPECT_EQ(Latin1ToUtf8("<---\xB5"), "<---\xC2\xB5");
  EXPECT_EQ(Latin1ToUtf8("\x7F\x80\xBF\xC0\xFF"), "\x7F\xC2\x80\xC2\xBF\xC3\x80\xC3\xBF");
}

TEST(Latin1ToUtf8, RoundTripsEveryByteThroughUtf8ToLatin1) {
  std::string every_byte;
  for (int byte = 0; byte <= 0xFF; ++byte)
    every_byte.push_back(static_cast<char>(byte));
  const Latin1Conversion back = Utf8ToLatin1(Latin1ToUtf8(every_byte));
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back.bytes, every_byte);
}

}  // namespace
}  // namespace vexa

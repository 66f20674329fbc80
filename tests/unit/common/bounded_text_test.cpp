#include "common/bounded_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

TEST(BoundedText, CopyFitsExactlyOrEmptiesTheBuffer) {
  wchar_t buffer[6];
  EXPECT_TRUE(BoundedCopy(buffer, 6, L"abcde"));
  EXPECT_EQ(std::wstring(L"abcde"), buffer);
  EXPECT_FALSE(BoundedCopy(buffer, 6, L"abcdef"));
  EXPECT_EQ(std::wstring(), buffer);
}

TEST(BoundedText, AppendNeverOverrunsAndEmptiesOnOverflow) {
  wchar_t buffer[8] = L"abc";
  EXPECT_TRUE(BoundedAppend(buffer, 8, L"defg"));
  EXPECT_EQ(std::wstring(L"abcdefg"), buffer);
  EXPECT_FALSE(BoundedAppend(buffer, 8, L"h"));
  EXPECT_EQ(std::wstring(), buffer);

  wchar_t unterminated[4] = {L'a', L'b', L'c', L'd'};
  EXPECT_FALSE(BoundedAppend(unterminated, 4, L""));
  EXPECT_EQ(L'\0', unterminated[0]);
}

TEST(BoundedText, FormatDecimalMatchesSignedRadixTen) {
  struct Row { long value; const wchar_t* text; } rows[] = {
      {0, L"0"}, {7, L"7"}, {131234, L"131234"}, {-5, L"-5"},
      {LONG_MAX, L"2147483647"}, {LONG_MIN, L"-2147483648"},
  };
  for (const Row& row : rows) {
    wchar_t buffer[260];
    ASSERT_TRUE(FormatDecimal(row.value, buffer, 260)) << row.text;
    EXPECT_EQ(std::wstring(row.text), buffer);
  }
  wchar_t small[4];
  EXPECT_TRUE(FormatDecimal(-12, small, 4));
  EXPECT_FALSE(FormatDecimal(1234, small, 4));
  EXPECT_EQ(std::wstring(), small);
}

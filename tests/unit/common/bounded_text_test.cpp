#include "common/bounded_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

// Each row: the text already in a buffer of capacity units, what is copied or appended, and the
// text after (empty after a refusal). The buffer is larger than the capacity and filled with a
// marker beyond it, so a write past the capacity shows.
namespace {

constexpr wchar_t kMarker = L'#';

template <typename Char, typename Operation>
std::basic_string<Char> Apply(const Char* before, std::size_t capacity, Operation operation,
                              bool* result, bool* overrun) {
  Char buffer[16];
  for (Char& c : buffer) c = static_cast<Char>(kMarker);
  const std::size_t length = std::char_traits<Char>::length(before);
  for (std::size_t i = 0; i < length; ++i) buffer[i] = before[i];
  buffer[length] = 0;  // also beyond a capacity it does not fit, to test that it is not trusted
  *result = operation(buffer, capacity);
  *overrun = false;
  for (std::size_t i = capacity > length + 1 ? capacity : length + 1; i < 16; ++i) *overrun = *overrun || buffer[i] != static_cast<Char>(kMarker);
  return std::basic_string<Char>(buffer);
}

}  // namespace

TEST(BoundedText, CopyAndAppendFitOrEmptyTheBuffer) {
  enum Operation { Copy, Part3, Append };
  struct Row { Operation operation; const wchar_t* before; std::size_t capacity; const wchar_t* text;
               bool fits; const wchar_t* after; } rows[] = {
      {Copy, L"", 6, L"abcde", true, L"abcde"},    // exactly fills with its terminator
      {Copy, L"", 6, L"abcdef", false, L""},       // one unit too many
      {Part3, L"", 4, L"abcdef", true, L"abc"},    // the first three only
      {Part3, L"", 3, L"abcdef", false, L""},
      {Part3, L"", 4, L"a", true, L"a"},           // a zero before the count ends it
      {Append, L"abc", 8, L"defg", true, L"abcdefg"},
      {Append, L"abc", 7, L"defg", false, L""},
      {Append, L"abc", 3, L"", false, L""},        // no terminator within the capacity
  };
  for (const Row& row : rows) {
    bool fits = false, overrun = false;
    const std::wstring after = Apply<wchar_t>(row.before, row.capacity, [&row](wchar_t* b, std::size_t c) {
      if (row.operation == Copy) return BoundedCopy(b, c, row.text);
      if (row.operation == Part3) return BoundedCopyPart(b, c, row.text, 3);
      return BoundedAppend(b, c, row.text);
    }, &fits, &overrun);
    EXPECT_EQ(row.fits, fits) << row.text << " in " << row.capacity;
    EXPECT_EQ(row.after, after) << row.text << " in " << row.capacity;
    EXPECT_FALSE(overrun) << row.text << " in " << row.capacity;
  }
  // The 8-bit forms share the code; one refusal and one fit show they are wired to it.
  bool fits = false, overrun = false;
  EXPECT_EQ("ab", Apply<char>("a", 3, [](char* b, std::size_t c) { return BoundedAppend(b, c, "b"); },
                              &fits, &overrun));
  EXPECT_TRUE(fits);
  EXPECT_EQ("", Apply<char>("", 3, [](char* b, std::size_t c) { return BoundedCopy(b, c, "abc"); },
                            &fits, &overrun));
  EXPECT_FALSE(fits);
}

TEST(BoundedText, DecimalsAsItowAndPrintfWriteThem) {
  struct Row { long value; std::size_t width; std::size_t capacity; const char* expected; } rows[] = {
      {0, 0, 2, "0"},
      {131234, 0, 7, "131234"},
      {1234, 0, 4, ""},  // one unit short
      {-12, 0, 4, "-12"},
      {LONG_MAX, 0, 16, "2147483647"},
      {LONG_MIN, 0, 16, "-2147483648"},
      {7, 4, 5, "0007"},
      {-5, 4, 5, "-005"},  // zeros between the sign and the digits
      {12345, 4, 6, "12345"},
      {7, 4, 4, ""},
  };
  for (const Row& row : rows) {
    bool fits = false, overrun = false;
    const std::string appended = Apply<char>("", row.capacity, [&row](char* b, std::size_t c) {
      return AppendDecimal(b, c, row.value, row.width);
    }, &fits, &overrun);
    EXPECT_EQ(row.expected, appended) << row.value << " width " << row.width;
    EXPECT_EQ(*row.expected != '\0', fits) << row.value;
    EXPECT_FALSE(overrun) << row.value;
    if (row.width != 0) continue;
    const std::wstring formatted = Apply<wchar_t>(L"", row.capacity, [&row](wchar_t* b, std::size_t c) {
      return FormatDecimal(row.value, b, c);
    }, &fits, &overrun);
    EXPECT_EQ(std::wstring(row.expected, row.expected + std::char_traits<char>::length(row.expected)), formatted);
    EXPECT_FALSE(overrun) << row.value;
  }
  bool fits = false, overrun = false;
  EXPECT_EQ("x-1", Apply<char>("x", 4, [](char* b, std::size_t c) { return AppendDecimal(b, c, -1, 0); },
                               &fits, &overrun));
}

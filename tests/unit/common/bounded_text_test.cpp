#include "common/bounded_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

// Each row: the text already in a buffer of capacity units, the operation, and the text after
// (empty after a refusal). The buffer is filled with a marker beyond the capacity, so a write
// past it shows.
namespace {

std::string Apply(const char* before, std::size_t capacity, const std::function<bool(char*, std::size_t)>& operation,
                  bool* fits) {
  char buffer[16];
  std::fill(buffer, buffer + 16, '#');
  std::copy(before, before + strlen(before) + 1, buffer);
  *fits = operation(buffer, capacity);
  for (std::size_t i = std::max(capacity, strlen(before) + 1); i < 16; ++i) EXPECT_EQ('#', buffer[i]) << i;
  return buffer;
}

}  // namespace

TEST(BoundedText, CopyAppendAndDecimalsFitOrEmptyTheBuffer) {
  const struct { const char* before; std::size_t capacity; std::function<bool(char*, std::size_t)> operation;
                 const char* after; } rows[] = {
      {"", 6, [](char* b, std::size_t c) { return BoundedCopy(b, c, "abcde"); }, "abcde"},
      {"", 6, [](char* b, std::size_t c) { return BoundedCopy(b, c, "abcdef"); }, ""},
      {"", 4, [](char* b, std::size_t c) { return BoundedCopyPart(b, c, "abcdef", 3); }, "abc"},
      {"", 3, [](char* b, std::size_t c) { return BoundedCopyPart(b, c, "abcdef", 3); }, ""},
      {"abc", 8, [](char* b, std::size_t c) { return BoundedAppend(b, c, "defg"); }, "abcdefg"},
      {"abc", 7, [](char* b, std::size_t c) { return BoundedAppend(b, c, "defg"); }, ""},
      {"abc", 3, [](char* b, std::size_t c) { return BoundedAppend(b, c, ""); }, ""},  // no terminator within
      {"x", 13, [](char* b, std::size_t c) { return AppendDecimal(b, c, LONG_MIN, 0); }, "x-2147483648"},
      {"", 5, [](char* b, std::size_t c) { return AppendDecimal(b, c, -5, 4); }, "-005"},
      {"", 6, [](char* b, std::size_t c) { return AppendDecimal(b, c, 12345, 4); }, "12345"},
      {"", 4, [](char* b, std::size_t c) { return AppendDecimal(b, c, 7, 4); }, ""},
  };
  for (const auto& row : rows) {
    bool fits = false;
    EXPECT_EQ(std::string(row.after), Apply(row.before, row.capacity, row.operation, &fits)) << row.after;
    EXPECT_EQ(*row.after != '\0', fits) << row.after;
  }
}

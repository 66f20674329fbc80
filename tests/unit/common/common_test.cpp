#include "common/bounded_text.h"
#include "common/native_files.h"
#include "common/run_log.h"
#include "common/string_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace {

// Each row: the text already in a buffer of capacity units, the operation, and the text after
// (empty after a refusal). The buffer is filled with a marker beyond the capacity, so a write
// past it shows.

std::string Apply(const char* before, std::size_t capacity, const std::function<bool(char*, std::size_t)>& operation,
                  bool* fits) {
  char buffer[16];
  std::fill(buffer, buffer + 16, '#');
  std::copy(before, before + strlen(before) + 1, buffer);
  *fits = operation(buffer, capacity);
  for (std::size_t i = std::max(capacity, strlen(before) + 1); i < 16; ++i) EXPECT_EQ('#', buffer[i]) << i;
  return buffer;
}

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

// A block as the resource compiler lays it out: 16 counted entries, no terminators.
std::vector<unsigned char> MakeBlock(const std::vector<std::wstring>& entries) {
  std::vector<unsigned char> block;
  for (const std::wstring& entry : entries) {
    for (wchar_t c : std::wstring(1, static_cast<wchar_t>(entry.size())) + entry) {
      block.push_back(static_cast<unsigned char>(c & 0xFF));
      block.push_back(static_cast<unsigned char>(c >> 8));
    }
  }
  return block;
}

std::wstring Find(const std::vector<unsigned char>& block, unsigned index, std::size_t capacity = 260) {
  wchar_t text[260];
  const bool found = FindStringInBlock(block.data(), block.size(), index, text, capacity);
  EXPECT_EQ(found, text[0] != L'\0') << index;
  return text;
}

// Nothing a line quotes can start another line, and a line too long for its buffer says so.
TEST(RunLog, ControlCharactersAreShownAndALongTextIsCut) {
  struct Row { const wchar_t* text; std::size_t capacity; const wchar_t* line; } rows[] = {
      {L"COM5\n[PRTVO]\r", 64, L"COM5\\x0A[PRTVO]\\x0D"}, {L"abcdefgh", 8, L"abcd..."},
  };
  for (const Row& row : rows) {
    wchar_t line[64];
    EXPECT_EQ(wcslen(row.line), AppendLogText(line, 0, row.capacity, row.text));
    EXPECT_EQ(std::wstring(row.line), line);
  }
}

// A native call takes the "\??\" form; the log's path and the extraction's are walked from the
// folder that no link can stand in for: a drive's root or a share.
TEST(NativeFiles, NamesAndTheirDriveOrShare) {
  struct Row { const wchar_t* full; const wchar_t* native; const wchar_t* root; const wchar_t* rest; } rows[] = {
      {L"C:\\logs\\run.log", L"\\??\\C:\\logs\\run.log", L"\\??\\C:\\", L"logs\\run.log"},
      {L"\\\\server\\share\\run.log", L"\\??\\UNC\\server\\share\\run.log", L"\\??\\UNC\\server\\share\\", L"run.log"},
      {L"\\\\?\\unc\\server\\share\\a\\run.log", L"\\??\\unc\\server\\share\\a\\run.log", L"\\??\\UNC\\server\\share\\", L"a\\run.log"},
      {L"\\\\?\\C:\\run.log", L"\\??\\C:\\run.log", L"\\??\\C:\\", L"run.log"},
      {L"\\\\server\\share", L"\\??\\UNC\\server\\share", L"", nullptr}, {L"C:\\", L"\\??\\C:\\", L"", nullptr},
  };
  for (const Row& row : rows) {
    wchar_t native[MAX_PATH], root[MAX_PATH];
    const wchar_t* rest = nullptr;
    EXPECT_TRUE(NativePathOf(row.full, native, MAX_PATH));
    EXPECT_STREQ(row.native, native) << row.full;
    EXPECT_EQ(row.rest != nullptr, SplitAtRoot(row.full, root, MAX_PATH, &rest)) << row.full;
    EXPECT_STREQ(row.root, root) << row.full;
    if (row.rest != nullptr) EXPECT_STREQ(row.rest, rest) << row.full;
  }
}

TEST(StringTable, WalkTable) {
  std::vector<std::wstring> entries(16);
  entries[3] = std::wstring(L"ab\0cd", 5);
  entries[12] = L"Orvik Portivo Ver.8.70b";
  entries[15] = L"last";
  const std::vector<unsigned char> block = MakeBlock(entries);
  // Cut inside the text of entry 12: the walk never reads past the block.
  const std::vector<unsigned char> cut(block.begin(), block.begin() + 40);
  const std::vector<unsigned char> lying = {0xFF, 0x7F, 'a', 0};  // a count beyond the block
  struct Row { const std::vector<unsigned char>* block; unsigned index; std::size_t capacity; const wchar_t* text; } rows[] = {
      {&block, 12, 260, L"Orvik Portivo Ver.8.70b"}, {&block, 15, 5, L"last"},  // ends at the block's end
      {&block, 15, 4, L""},  // refused, not cut
      {&block, 13, 260, L""}, {&block, 3, 260, L"ab"}, {&cut, 12, 260, L""}, {&lying, 0, 260, L""},
  };
  for (const Row& row : rows) EXPECT_EQ(row.text, Find(*row.block, row.index, row.capacity)) << row.index;
  EXPECT_EQ(1041, StringTableLanguage(1041));
  EXPECT_EQ(1033, StringTableLanguage(0x0011));
}

}  // namespace

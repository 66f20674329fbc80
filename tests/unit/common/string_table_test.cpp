#include "common/string_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

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

std::wstring Load(unsigned id) {
  wchar_t text[260];
  LoadTableString(id, text, 260);
  return text;
}

}  // namespace

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

// The unit program carries the installer's own string tables; the plain run is English.
TEST(StringTable, LoadFindsTheInstallersOwnEntries) {
  EXPECT_EQ(L"Installation failed.", Load(1001));
  EXPECT_EQ(L"Orvik Portivo Ver.8.70b", Load(60));
  EXPECT_EQ(L"", Load(112));  // empty entry inside an existing block
  EXPECT_EQ(L"", Load(500));  // no such block
}

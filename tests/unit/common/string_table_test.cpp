#include "common/string_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A block as the resource compiler lays it out: 16 counted entries, no terminators.
std::vector<unsigned char> MakeBlock(const std::vector<std::wstring>& entries) {
  std::vector<unsigned char> block;
  for (const std::wstring& entry : entries) {
    WORD count = static_cast<WORD>(entry.size());
    block.push_back(static_cast<unsigned char>(count & 0xFF));
    block.push_back(static_cast<unsigned char>(count >> 8));
    for (wchar_t c : entry) {
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

TEST(StringTable, WalkFindsEntriesAndStepsOverEmptyOnes) {
  std::vector<std::wstring> entries(16);
  entries[12] = L"Orvik Portivo Ver.8.70b";
  entries[15] = L"last";
  std::vector<unsigned char> block = MakeBlock(entries);
  EXPECT_EQ(L"Orvik Portivo Ver.8.70b", Find(block, 12));
  EXPECT_EQ(L"last", Find(block, 15));
  EXPECT_EQ(L"", Find(block, 0));
  EXPECT_EQ(L"", Find(block, 13));
  entries[3] = std::wstring(L"ab\0cd", 5);  // cut at an embedded zero
  block = MakeBlock(entries);
  EXPECT_EQ(L"ab", Find(block, 3));
  // An entry that does not fit its buffer is refused, not cut.
  EXPECT_EQ(L"last", Find(block, 15, 5));
  EXPECT_EQ(L"", Find(block, 15, 4));
}

TEST(StringTable, WalkNeverReadsPastTheBlock) {
  std::vector<std::wstring> entries(16);
  entries[2] = L"abcdef";
  std::vector<unsigned char> whole = MakeBlock(entries);
  // Cut inside the text of entry 2, inside its count, and before it: each gives nothing, and the
  // copy on the heap lets a checker catch a read beyond it.
  for (std::size_t cut : {std::size_t{10}, std::size_t{5}, std::size_t{4}, std::size_t{1}, std::size_t{0}}) {
    std::vector<unsigned char> shortBlock(whole.begin(), whole.begin() + cut);
    EXPECT_EQ(L"", Find(shortBlock, 2)) << cut;
  }
  // A count that claims more units than remain is not believed.
  std::vector<unsigned char> lying = {0xFF, 0x7F, 'a', 0};
  EXPECT_EQ(L"", Find(lying, 0));
}

TEST(StringTable, TableLanguageIsJapaneseOnlyForExactly1041) {
  EXPECT_EQ(1041, StringTableLanguage(1041));
  for (LANGID other : {1033, 1028, 2052, 3076, 2057, 0x0011}) EXPECT_EQ(1033, StringTableLanguage(other)) << other;
}

// Runs once per test language: the string tables of this test program are the installer's own.
TEST(StringTableLanguage, LoadTableStringReadsTheUsersTable) {
  const bool japanese = GetUserDefaultLangID() == 1041;
  EXPECT_EQ(L"Orvik Portivo Ver.8.70b", Load(60));
  EXPECT_EQ(L"Portivo Installer", Load(111));
  EXPECT_EQ(L"{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}", Load(123));
  EXPECT_EQ(japanese ? L"本インストーラはすでに起動しています。" : L"This installer is already running.",
            Load(101));
  EXPECT_EQ(japanese ? L"インストールに失敗しました。" : L"Installation failed.", Load(1001));
  EXPECT_EQ(L"", Load(112));  // empty entry inside an existing block
  EXPECT_EQ(L"", Load(500));  // no such block
  EXPECT_EQ(L"Portivo_User'sManual.pdf", Load(127));
}

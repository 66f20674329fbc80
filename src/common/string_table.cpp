#include "common/string_table.h"

#include "common/bounded_text.h"
#include "common/language.h"

bool FindStringInBlock(const void* block, std::size_t size, unsigned index, wchar_t* text,
                       std::size_t capacity) {
  if (capacity != 0) text[0] = L'\0';
  const unsigned char* bytes = static_cast<const unsigned char*>(block);
  std::size_t offset = 0;
  for (unsigned entry = 0; entry < 16; ++entry) {
    if (size - offset < sizeof(WCHAR)) break;
    WORD count;
    CopyMemory(&count, bytes + offset, sizeof count);
    offset += sizeof count;
    std::size_t units = (size - offset) / sizeof(WCHAR);
    if (count > units) break;
    if (count != 0 && entry == index) {
      // The entry is read in place; resource data is WORD-aligned.
      const wchar_t* entryText = reinterpret_cast<const wchar_t*>(bytes + offset);
      return BoundedCopyPart(text, capacity, entryText, count) && text[0] != L'\0';
    }
    offset += count * sizeof(WCHAR);
  }
  return false;
}

WORD StringTableLanguage(LANGID userLanguage) { return userLanguage == 1041 ? 1041 : 1033; }

bool LoadTableString(unsigned id, wchar_t* text, std::size_t capacity) {
  if (capacity != 0) text[0] = L'\0';
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceExW(module, RT_STRING,
                                MAKEINTRESOURCEW(id / 16 + 1), StringTableLanguage(UserLanguageId()));
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return false;
  const void* data = LockResource(loaded);
  if (data == nullptr) return false;
  return FindStringInBlock(data, SizeofResource(module, found), id % 16, text, capacity);
}

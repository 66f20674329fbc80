#include "run/string_table.h"

#include "run/language.h"

std::wstring FindStringInBlock(const void* block, std::size_t size, unsigned index) {
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
      std::wstring text(count, L'\0');
      CopyMemory(&text[0], bytes + offset, count * sizeof(WCHAR));
      std::size_t zero = text.find(L'\0');
      if (zero != std::wstring::npos) text.resize(zero);
      return text;
    }
    offset += count * sizeof(WCHAR);
  }
  return std::wstring();
}

WORD StringTableLanguage(LANGID userLanguage) { return userLanguage == 1041 ? 1041 : 1033; }

std::wstring LoadTableString(unsigned id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceExW(module, RT_STRING,
                                MAKEINTRESOURCEW(id / 16 + 1), StringTableLanguage(UserLanguageId()));
  if (found == nullptr) return std::wstring();
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return std::wstring();
  const void* data = LockResource(loaded);
  if (data == nullptr) return std::wstring();
  return FindStringInBlock(data, SizeofResource(module, found), id % 16);
}

#include "resource_patch.h"

#include <algorithm>

#include "installer_runner.h"

namespace runner {

namespace {

const WORD kLanguage = 1033;

// A resource type or name: a number, or a text.
struct ResourceKey {
  bool is_id = true;
  WORD id = 0;
  std::wstring text;

  static ResourceKey From(LPCWSTR key) {
    ResourceKey k;
    if (IS_INTRESOURCE(key)) {
      k.id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(key));
    } else {
      k.is_id = false;
      k.text = key;
    }
    return k;
  }
  LPCWSTR Get() const { return is_id ? MAKEINTRESOURCEW(id) : text.c_str(); }
  bool operator<(const ResourceKey& o) const {
    if (is_id != o.is_id) return is_id;
    return is_id ? id < o.id : text < o.text;
  }
  bool operator==(const ResourceKey& o) const {
    return is_id == o.is_id && (is_id ? id == o.id : text == o.text);
  }
};

struct Resource {
  ResourceKey type;
  ResourceKey name;
  WORD language = 0;
  std::vector<unsigned char> bytes;

  bool SameSlot(const Resource& o) const {
    return type == o.type && name == o.name && language == o.language;
  }
  bool operator<(const Resource& o) const {
    if (!(type == o.type)) return type < o.type;
    if (!(name == o.name)) return name < o.name;
    return language < o.language;
  }
};

struct Collector {
  HMODULE module;
  std::vector<Resource>* out;
  ResourceKey type;
  ResourceKey name;
  bool ok;
};

BOOL CALLBACK OnLanguage(HMODULE module, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
  Collector* c = reinterpret_cast<Collector*>(param);
  HRSRC found = FindResourceExW(module, c->type.Get(), c->name.Get(), language);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const unsigned char* data = static_cast<const unsigned char*>(LockResource(loaded));
  DWORD size = found != nullptr ? SizeofResource(module, found) : 0;
  if (found == nullptr || (data == nullptr && size != 0)) {
    c->ok = false;
    return FALSE;
  }
  Resource r;
  r.type = c->type;
  r.name = c->name;
  r.language = language;
  r.bytes.assign(data, data + size);
  c->out->push_back(r);
  return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
  Collector* c = reinterpret_cast<Collector*>(param);
  c->name = ResourceKey::From(name);
  EnumResourceLanguagesW(module, type, name, OnLanguage, param);
  return c->ok;
}

BOOL CALLBACK OnType(HMODULE module, LPWSTR type, LONG_PTR param) {
  Collector* c = reinterpret_cast<Collector*>(param);
  c->type = ResourceKey::From(type);
  EnumResourceNamesW(module, type, OnName, param);
  return c->ok;
}

// Every resource of a file, sorted by type, name and language; read as data, never run.
int CollectResources(const std::wstring& path, std::vector<Resource>* out) {
  out->clear();
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return kRunnerFileError;
  Collector c = {module, out, ResourceKey(), ResourceKey(), true};
  EnumResourceTypesW(module, OnType, reinterpret_cast<LONG_PTR>(&c));
  FreeLibrary(module);
  std::sort(out->begin(), out->end());
  return c.ok ? kRunnerOk : kRunnerFileError;
}

}  // namespace

int ReadWholeFile(const std::wstring& path, std::vector<unsigned char>* bytes) {
  bytes->clear();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kRunnerFileError;
  unsigned char buffer[65536];
  DWORD got = 0;
  BOOL ok;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr)) && got > 0) {
    bytes->insert(bytes->end(), buffer, buffer + got);
  }
  CloseHandle(file);
  return ok ? kRunnerOk : kRunnerFileError;
}

int ReadRcdata(const std::wstring& module_path, WORD id, std::vector<unsigned char>* bytes) {
  bytes->clear();
  HMODULE module = LoadLibraryExW(module_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return kRunnerFileError;
  int status = kRunnerResourceMissing;
  HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(id), kLanguage);
  if (found != nullptr) {
    HGLOBAL loaded = LoadResource(module, found);
    DWORD size = SizeofResource(module, found);
    const unsigned char* data = static_cast<const unsigned char*>(LockResource(loaded));
    if (data != nullptr || size == 0) {
      bytes->assign(data, data + size);
      status = kRunnerOk;
    }
  }
  FreeLibrary(module);
  return status;
}

// The copy's resources are written anew as a whole, from the original's with the one change:
// Wine's UpdateResourceW cannot remove a single resource, and a whole rewrite behaves the same
// on Windows.
int CopyWithRcdata(const std::wstring& source, const std::wstring& target, WORD id,
                   const std::vector<unsigned char>* bytes) {
  std::vector<Resource> wanted;
  if (CollectResources(source, &wanted) != kRunnerOk) return kRunnerFileError;
  Resource changed;
  changed.type = ResourceKey::From(MAKEINTRESOURCEW(10));
  changed.name = ResourceKey::From(MAKEINTRESOURCEW(id));
  changed.language = kLanguage;
  auto at = std::find_if(wanted.begin(), wanted.end(),
                         [&](const Resource& r) { return r.SameSlot(changed); });
  if (bytes == nullptr) {
    if (at == wanted.end()) return kRunnerResourceMissing;
    wanted.erase(at);
  } else {
    changed.bytes = *bytes;
    if (at != wanted.end()) *at = changed;
    else wanted.push_back(changed);
    std::sort(wanted.begin(), wanted.end());
  }

  if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) return kRunnerCopyFailed;
  HANDLE update = BeginUpdateResourceW(target.c_str(), TRUE);
  if (update == nullptr) return kRunnerResourceUpdateFailed;
  for (Resource& r : wanted) {
    // UpdateResourceW keeps only a pointer until EndUpdateResourceW, so `wanted` must outlive it.
    if (!UpdateResourceW(update, r.type.Get(), r.name.Get(), r.language,
                         r.bytes.empty() ? nullptr : r.bytes.data(),
                         static_cast<DWORD>(r.bytes.size()))) {
      EndUpdateResourceW(update, TRUE);
      return kRunnerResourceUpdateFailed;
    }
  }
  if (!EndUpdateResourceW(update, FALSE)) return kRunnerResourceUpdateFailed;

  std::vector<Resource> written;
  if (CollectResources(target, &written) != kRunnerOk || written.size() != wanted.size()) {
    return kRunnerResourceCheckFailed;
  }
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (!written[i].SameSlot(wanted[i]) || written[i].bytes != wanted[i].bytes) {
      return kRunnerResourceCheckFailed;
    }
  }
  return kRunnerOk;
}

}  // namespace runner

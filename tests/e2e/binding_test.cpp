// The built installers carry their package exactly: every payload resource holds the bytes of its
// file in the package folder it was built around, under language 1033, and nothing else is bound.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "e2e_paths.h"
#include "install_support.h"
#include "installer_runner.h"
#include "probe_paths.h"
#include "resource_patch.h"

namespace e2e {
namespace {

// The installer mapped as data: nothing of it runs.
class MappedProgram {
 public:
  explicit MappedProgram(const std::wstring& path)
      : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~MappedProgram() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  MappedProgram(const MappedProgram&) = delete;
  MappedProgram& operator=(const MappedProgram&) = delete;

  HMODULE get() const { return module_; }

  // The bytes of RT_RCDATA `id` in `language`; false when there is no such resource.
  bool Rcdata(WORD id, WORD language, std::vector<unsigned char>* bytes) const {
    HRSRC found = FindResourceExW(module_, RT_RCDATA, MAKEINTRESOURCEW(id), language);
    if (found == nullptr) return false;
    HGLOBAL loaded = LoadResource(module_, found);
    const unsigned char* data = loaded != nullptr ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
    if (data == nullptr) return false;
    bytes->assign(data, data + SizeofResource(module_, found));
    return true;
  }

  std::set<WORD> RcdataIds() const {
    std::set<WORD> ids;
    EnumResourceNamesW(module_, RT_RCDATA, CollectId, reinterpret_cast<LONG_PTR>(&ids));
    return ids;
  }

  std::set<WORD> Languages(WORD id) const {
    std::set<WORD> languages;
    EnumResourceLanguagesW(module_, RT_RCDATA, MAKEINTRESOURCEW(id), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
  }

 private:
  static BOOL CALLBACK CollectId(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
    // A named (not numbered) resource is recorded as 0, which no payload row uses.
    reinterpret_cast<std::set<WORD>*>(ids)->insert(IS_INTRESOURCE(name) ? LOWORD(reinterpret_cast<ULONG_PTR>(name)) : 0);
    return TRUE;
  }
  static BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::set<WORD>*>(languages)->insert(language);
    return TRUE;
  }

  HMODULE module_;
};

struct BuiltInstaller {
  const char* label;
  const wchar_t* installer;
  const wchar_t* packageFolder;
};

const BuiltInstaller kBuiltInstallers[] = {
    {"probe", PORTIVO_PROBE_INSTALLER, PORTIVO_PROBE_PACKAGE_DIR},
    {"sample", PORTIVO_SAMPLE_INSTALLER, PORTIVO_SAMPLE_PACKAGE_DIR},
};

TEST(Binding, EveryPayloadResourceIsItsPackageFileByteForByte) {
  const std::vector<PayloadEntry> rows = AllPayloadRows();
  ASSERT_EQ(80u, rows.size());
  for (const BuiltInstaller& built : kBuiltInstallers) {
    SCOPED_TRACE(built.label);
    MappedProgram program(built.installer);
    ASSERT_NE(nullptr, program.get()) << "cannot map " << runner::Utf8FromWide(built.installer);
    for (const PayloadEntry& row : rows) {
      const std::wstring relative = PayloadRelativePath(row);
      SCOPED_TRACE("resource " + std::to_string(row.resourceId) + " " + runner::Utf8FromWide(relative));
      std::vector<unsigned char> file;
      ASSERT_EQ(runner::kRunnerOk,
                runner::ReadWholeFile(std::wstring(built.packageFolder) + L"\\" + relative, &file));
      std::vector<unsigned char> bound;
      ASSERT_TRUE(program.Rcdata(row.resourceId, 1033, &bound)) << "not bound under language 1033";
      EXPECT_EQ(file.size(), bound.size());
      EXPECT_TRUE(file == bound) << "the bytes differ";
    }
  }
}

TEST(Binding, NothingButThePayloadIsBoundAndOnlyInOneLanguage) {
  std::set<WORD> expected;
  for (const PayloadEntry& row : AllPayloadRows()) expected.insert(row.resourceId);
  ASSERT_EQ(80u, expected.size()) << "a resource id serves two rows";
  for (const BuiltInstaller& built : kBuiltInstallers) {
    SCOPED_TRACE(built.label);
    MappedProgram program(built.installer);
    ASSERT_NE(nullptr, program.get());
    EXPECT_EQ(expected, program.RcdataIds());
    for (WORD id : expected) EXPECT_EQ(std::set<WORD>{1033}, program.Languages(id)) << id;
  }
}

// The two packages differ, so a build that bound the wrong folder cannot pass the comparison.
TEST(Binding, TheTwoInstallersCarryDifferentSetupPrograms) {
  MappedProgram probe(PORTIVO_PROBE_INSTALLER);
  MappedProgram sample(PORTIVO_SAMPLE_INSTALLER);
  std::vector<unsigned char> probeSetup, sampleSetup;
  ASSERT_TRUE(probe.Rcdata(104, 1033, &probeSetup));
  ASSERT_TRUE(sample.Rcdata(104, 1033, &sampleSetup));
  EXPECT_FALSE(probeSetup == sampleSetup);
}

}  // namespace
}  // namespace e2e

// The built installer read as a file, without running it. The activation-context queries came
// with XP and 7; this test program runs on a system that has them.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601

#include <cstring>

#include "e2e_support.h"
#include "version.h"

namespace e2e {
namespace {

// What Windows reads from the built installer before it runs: the version fields that Explorer and
// inventory tools show, and the manifest as the system's own parser takes it (a manifest it cannot
// parse, or whose settings sit in the wrong namespace, is refused or silently ignored).
TEST(ReleaseResources, VersionFieldsReadBackFromTheBuiltInstaller) {
  DWORD ignored = 0;
  std::vector<unsigned char> data(GetFileVersionInfoSizeW(PORTIVO_PROBE_INSTALLER, &ignored));
  ASSERT_FALSE(data.empty()) << "no version resource";
  ASSERT_TRUE(GetFileVersionInfoW(PORTIVO_PROBE_INSTALLER, 0, static_cast<DWORD>(data.size()), data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const DWORD version = MAKELONG(PORTIVO_VERSION_MINOR, PORTIVO_VERSION_MAJOR);
  EXPECT_EQ(version, fixed->dwFileVersionMS);
  EXPECT_EQ(version, fixed->dwProductVersionMS);

  // The texts as Explorer finds them, under English and Unicode; the fixed ones are the template's.
  const std::wstring versionText(PORTIVO_VERSION_TEXT, PORTIVO_VERSION_TEXT + strlen(PORTIVO_VERSION_TEXT));
  for (const wchar_t* field : {L"FileVersion", L"ProductVersion"}) {
    wchar_t* value = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + field;
    ASSERT_TRUE(VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        << Narrow(field) << " is missing";
    EXPECT_EQ(versionText, std::wstring(value)) << Narrow(field);
  }
}

TEST(ReleaseResources, TheSystemTakesTheManifestWithItsSettings) {
  ACTCTXW request = {};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = PORTIVO_PROBE_INSTALLER;
  request.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
  // Fails when the manifest does not parse or a dependency cannot be found.
  const HANDLE context = CreateActCtxW(&request);
  ASSERT_NE(INVALID_HANDLE_VALUE, context) << "error " << GetLastError();
  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
  ASSERT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &level, sizeof level, nullptr));
  EXPECT_EQ(ACTCTX_RUN_LEVEL_REQUIRE_ADMIN, level.RunLevel);

  // A setting outside its namespace would be ignored without a word.
  wchar_t dpi[64] = {};
  EXPECT_TRUE(QueryActCtxSettingsW(0, context, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings",
                                   L"dpiAwareness", dpi, 64, nullptr));
  EXPECT_EQ(std::wstring(L"PerMonitorV2, PerMonitor"), dpi);

  // Common Controls 6: inside the context comctl32.dll is redirected to the side-by-side copy.
  ACTCTX_SECTION_KEYED_DATA redirect = {};
  redirect.cbSize = sizeof redirect;
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(ActivateActCtx(context, &cookie));
  EXPECT_TRUE(FindActCtxSectionStringW(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION, L"comctl32.dll", &redirect))
      << "comctl32.dll is not redirected";
  DeactivateActCtx(0, cookie);
  ReleaseActCtx(context);
}

}  // namespace
}  // namespace e2e

// What Windows reads from the built installer before it runs: the version fields that Explorer and
// inventory tools show, and the manifest as the system's own parser takes it (a manifest it cannot
// parse, or whose settings sit in the wrong namespace, is refused or silently ignored).
// The activation-context queries came with XP and 7; this test runs on a system that has them.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#include <cstring>
#include <set>

#include "e2e_support.h"
#include "version.h"

namespace e2e {
namespace {

std::wstring Widen(const char* text) { return std::wstring(text, text + strlen(text)); }

TEST(ReleaseResources, VersionFieldsReadBackFromTheBuiltInstaller) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(PORTIVO_PROBE_INSTALLER, &ignored);
  ASSERT_NE(0u, size) << "no version resource";
  std::vector<unsigned char> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(PORTIVO_PROBE_INSTALLER, 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const DWORD version = MAKELONG(PORTIVO_VERSION_MINOR, PORTIVO_VERSION_MAJOR);
  EXPECT_EQ(version, fixed->dwFileVersionMS);
  EXPECT_EQ(0u, fixed->dwFileVersionLS);
  EXPECT_EQ(version, fixed->dwProductVersionMS);
  EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(4u, length);
  EXPECT_EQ(0x0409, translation[0]);
  EXPECT_EQ(1200, translation[1]);

  const std::wstring versionText = Widen(PORTIVO_VERSION_TEXT);
  const struct { const wchar_t* field; std::wstring expected; } rows[] = {
      {L"CompanyName", L"Orvik"},
      {L"FileDescription", L"Orvik Portivo Installer"},
      {L"FileVersion", versionText},
      {L"InternalName", L"PortivoInstaller"},
      {L"LegalCopyright", L"Copyright (C) Orvik. All rights reserved."},
      {L"OriginalFilename", L"PortivoInstaller.exe"},
      {L"ProductName", L"Orvik Portivo"},
      {L"ProductVersion", versionText},
  };
  for (const auto& row : rows) {
    wchar_t* value = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + row.field;
    ASSERT_TRUE(VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        << Narrow(row.field) << " is missing";
    EXPECT_EQ(row.expected, std::wstring(value)) << Narrow(row.field);
  }
}

std::string GuidText(const GUID& g) {
  char text[40];
  snprintf(text, sizeof text, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", static_cast<unsigned long>(g.Data1),
           g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
           g.Data4[7]);
  return text;
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
  EXPECT_EQ(0u, level.UiAccess);

  // The element as Windows 10 and Wine lay it out (with MaxVersionTested); mingw's header has the
  // older, shorter one.
  struct Element { GUID id; DWORD type; ULONGLONG maxVersionTested; };
  struct { DWORD count; Element elements[16]; } compatibility = {};
  ASSERT_TRUE(QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, &compatibility,
                           sizeof compatibility, nullptr));
  std::set<std::string> supported;
  for (DWORD i = 0; i < compatibility.count && i < 16; ++i) {
    if (compatibility.elements[i].type == ACTCTX_COMPATIBILITY_ELEMENT_TYPE_OS) {
      supported.insert(GuidText(compatibility.elements[i].id));
    }
  }
  EXPECT_EQ((std::set<std::string>{
                "e2011457-1546-43c5-a5fe-008deee3d3f0",  // Vista
                "35138b9a-5d96-4fbd-8e2d-a2440225f93a",  // 7
                "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",  // 8
                "1f676c76-80e1-4239-95bb-83d0f6d0da78",  // 8.1
                "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",  // 10 and 11
            }),
            supported);

  const struct { const wchar_t* ns; const wchar_t* name; const wchar_t* expected; } settings[] = {
      {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", L"true/pm"},
      {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness", L"PerMonitorV2, PerMonitor"},
  };
  for (const auto& setting : settings) {
    wchar_t value[64] = {};
    SIZE_T written = 0;
    EXPECT_TRUE(QueryActCtxSettingsW(0, context, setting.ns, setting.name, value, 64, &written)) << Narrow(setting.name);
    EXPECT_EQ(std::wstring(setting.expected), std::wstring(value)) << Narrow(setting.name);
  }

  // Common Controls 6: inside the context comctl32.dll is redirected to the side-by-side copy, never
  // taken from the installer's folder.
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

// The benchmark's stand-in for the package's setup.exe: it does no installing at all, so that a
// timed run measures only the installer's own work. It finds "/W32:<window>:<message>" on its
// command line, posts outcome 0 to that window and exits at once.
//
// Only when the environment names a check file (BENCH_SETUP_CHECK) does it first count the files
// and bytes below its own folder and write "files=N bytes=B" there, so that the benchmark can see
// that every installer delivered the whole tree before starting it. Timed runs never set it.
#include <windows.h>

namespace {

// Reads an optionally signed decimal at text; advances text past it.
long long ReadDecimal(const wchar_t*& text) {
  bool negative = *text == L'-';
  if (negative) ++text;
  long long value = 0;
  while (*text >= L'0' && *text <= L'9') value = value * 10 + (*text++ - L'0');
  return negative ? -value : value;
}

void PostOutcome(const wchar_t* commandLine) {
  for (const wchar_t* at = commandLine; *at != L'\0'; ++at) {
    if (at[0] != L'/' || at[1] != L'W' || at[2] != L'3' || at[3] != L'2' || at[4] != L':') continue;
    const wchar_t* text = at + 5;
    // Handles arrive as signed 32-bit numbers.
    HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(ReadDecimal(text))));
    if (*text != L':') return;
    ++text;
    UINT message = static_cast<UINT>(ReadDecimal(text));
    PostMessageW(window, message, 0, 0);
    return;
  }
}

void CountTree(const wchar_t* folder, unsigned& files, unsigned long long& bytes) {
  wchar_t pattern[MAX_PATH * 2];
  wsprintfW(pattern, L"%s\\*", folder);
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(pattern, &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (lstrcmpW(entry.cFileName, L".") == 0 || lstrcmpW(entry.cFileName, L"..") == 0) continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      wchar_t child[MAX_PATH * 2];
      wsprintfW(child, L"%s\\%s", folder, entry.cFileName);
      CountTree(child, files, bytes);
    } else {
      ++files;
      bytes += (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

void WriteCheckFile(const wchar_t* checkPath) {
  wchar_t folder[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, folder, MAX_PATH);
  while (length > 0 && folder[length - 1] != L'\\') --length;
  if (length == 0) return;
  folder[length - 1] = L'\0';
  unsigned files = 0;
  unsigned long long bytes = 0;
  CountTree(folder, files, bytes);
  char text[64];
  // wsprintfA has no 64-bit format that Windows 2000's user32 knows; the tree is far below 4 GB.
  int size = wsprintfA(text, "files=%u bytes=%u\n", files, static_cast<unsigned>(bytes));
  HANDLE file = CreateFileW(checkPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(size), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t checkPath[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"BENCH_SETUP_CHECK", checkPath, MAX_PATH);
  if (length > 0 && length < MAX_PATH) WriteCheckFile(checkPath);
  PostOutcome(GetCommandLineW());
  return 0;
}

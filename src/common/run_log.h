// The run log an administrator asks for with "-log:<path>": one line per step, each with the local
// time to the millisecond, so that a failed quiet run explains itself. Without the switch nothing
// is written anywhere. The log never changes the run: a log that cannot be opened or written is
// given up without a word.
#pragma once
#include <cstddef>
#include <windows.h>

// Opens the log at path, which may lie in a folder the user controls: a link or a file with more
// than one name there is never written through. A plain file is truncated only once it is open.
// UTF-16LE with a byte-order mark and CR LF line ends, which Notepad shows from Windows 2000 on.
// False when the log was given up.
bool OpenRunLog(const wchar_t* path);

// Whether lines are being written.
bool RunLogOn();

// Pieces of a line other than text.
struct Dec {
  long long value;  // within 32 bits, signed or not
};
struct Hex {
  unsigned long value;  // as 0x and eight digits
};
struct Win32Error {
  DWORD code;  // as "error <code> (<the system's text>)"
};

// One line, written when it goes out of scope: LogLine() << L"wrote " << Dec{77} << L" files";
// Control characters are shown as \xNN, so that nothing a line quotes can start another line.
class LogLine {
 public:
  LogLine();
  ~LogLine();
  LogLine(const LogLine&) = delete;
  LogLine& operator=(const LogLine&) = delete;

  LogLine& operator<<(const wchar_t* text);
  LogLine& operator<<(const char* text);  // 8-bit text in the system's code page, as the registry gives it
  LogLine& operator<<(Dec number);
  LogLine& operator<<(Hex number);
  LogLine& operator<<(Win32Error error);

 private:
  static constexpr std::size_t kCapacity = 2048;
  wchar_t text_[kCapacity];
  std::size_t used_;
};

// Shared by the log and its tests: the text of a line as it goes into the file, without the time
// stamp and line end. Control characters become \xNN; what does not fit ends in "...".
std::size_t AppendLogText(wchar_t* line, std::size_t used, std::size_t capacity, const wchar_t* text);

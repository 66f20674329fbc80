#include "setup_args.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Reads a decimal number at text[pos]; a leading '-' only when allowSign. False without digits.
bool ReadDecimal(const std::wstring& text, std::size_t& pos, bool allowSign, long long& value) {
  bool negative = false;
  if (allowSign && pos < text.size() && text[pos] == L'-') {
    negative = true;
    ++pos;
  }
  std::size_t start = pos;
  long long v = 0;
  while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9' && pos - start < 18) {
    v = v * 10 + (text[pos] - L'0');
    ++pos;
  }
  if (pos == start) return false;
  value = negative ? -v : v;
  return true;
}

bool ReadLanguageSwitch(const std::wstring& token, unsigned short& language) {
  if (token.size() != 8 || token.compare(0, 4, L"-l0x") != 0) return false;
  unsigned value = 0;
  for (std::size_t i = 4; i < token.size(); ++i) {
    wchar_t c = token[i];
    unsigned digit;
    if (c >= L'0' && c <= L'9')
      digit = c - L'0';
    else if (c >= L'a' && c <= L'f')
      digit = c - L'a' + 10;
    else if (c >= L'A' && c <= L'F')
      digit = c - L'A' + 10;
    else
      return false;
    value = value * 16 + digit;
  }
  language = static_cast<unsigned short>(value);
  return true;
}

void ReadSwitches(const std::wstring& text, SetupArgs& args) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    std::size_t start = pos;
    while (pos < text.size() && !IsBlank(text[pos])) ++pos;
    if (pos == start) break;
    std::wstring token = text.substr(start, pos - start);
    if (token == L"/clone_wait")
      args.cloneWait = true;
    else if (token == L"/hide_progress")
      args.hideProgress = true;
    else if (!ReadLanguageSwitch(token, args.languageId))
      args.unknown.push_back(token);
  }
}

// inner is the quoted argument without its quotes: "/W32:<window>:<message>[ <installer args>]".
void ReadResultWindow(const std::wstring& inner, SetupArgs& args) {
  std::size_t pos = 5;  // past "/W32:"
  long long window = 0;
  long long message = 0;
  if (!ReadDecimal(inner, pos, true, window)) return;
  if (pos >= inner.size() || inner[pos] != L':') return;
  ++pos;
  if (!ReadDecimal(inner, pos, false, message)) return;
  if (pos < inner.size() && inner[pos] != L' ') return;
  args.hasResultWindow = true;
  args.resultWindow = window;
  args.resultMessage = static_cast<unsigned long>(message);
  if (pos < inner.size()) args.installerArgs = inner.substr(pos + 1);
}

}  // namespace

SetupArgs ParseSetupArgs(const std::wstring& text) {
  SetupArgs args;
  // The installer's own command line travels inside the quotes unescaped, so a quote in it would
  // end the argument early; the last quote on the line is taken as the closing one.
  std::size_t open = text.find(L"\"/W32:");
  ReadSwitches(text.substr(0, open), args);
  if (open == std::wstring::npos) return args;
  std::size_t close = text.rfind(L'"');
  std::wstring inner =
      close > open ? text.substr(open + 1, close - open - 1) : text.substr(open + 1);
  ReadResultWindow(inner, args);
  args.uninstall = args.installerArgs.find(L"-u1") != std::wstring::npos ||
                   args.installerArgs.find(L"-U1") != std::wstring::npos;
  return args;
}

ManualChoice ChooseManual(unsigned short switchLanguage, unsigned short userLanguage) {
  unsigned short language = switchLanguage != 0 ? switchLanguage : userLanguage;
  switch (language) {
    case 0x0411:
      return {L"JA", L"ReadMeJ.txt"};
    case 0x0804:
      return {L"SC", L"ReadMeE.txt"};
    case 0x0404:
      return {L"TC", L"ReadMeE.txt"};
    default:
      return {L"EN", L"ReadMeE.txt"};
  }
}

PortsSummary SummarizePorts(const std::string& text) {
  PortsSummary summary;
  enum { kNone, kPorts, kEmulator } section = kNone;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos = end + 1;
    if (line == "[PORTS]") {
      summary.portsSection = true;
      section = kPorts;
    } else if (line == "[PRTVO]") {
      summary.emulatorSection = true;
      section = kEmulator;
    } else if (!line.empty()) {
      if (section == kPorts)
        ++summary.usbLines;
      else if (section == kEmulator)
        ++summary.emulatorLines;
    }
  }
  return summary;
}

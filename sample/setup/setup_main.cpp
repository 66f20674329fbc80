// The sample package's setup program. It stands where a vendor's setup would: the installer
// unpacks it with the package, starts it with its switches and the "/W32:" window, and takes the
// outcome this program posts back as its own exit code.
#include <windows.h>

#include <string>

#include "common/sample_folders.h"
#include "common/sample_install.h"
#include "common/sample_log.h"
#include "common/setup_args.h"
#include "setup/progress_window.h"

namespace {

const wchar_t kProgram[] = L"setup.exe";
const UINT kDialogMilliseconds = 1500;

std::wstring YesNo(bool value) { return value ? L"yes" : L"no"; }

std::wstring LanguageText(unsigned short language) {
  if (language == 0) return L"none";
  const wchar_t hex[] = L"0123456789abcdef";
  std::wstring text = L"0x";
  for (int shift = 12; shift >= 0; shift -= 4) text += hex[(language >> shift) & 0xF];
  return text;
}

void LogReceived(const SetupArgs& args, const std::wstring& packageFolder) {
  SampleLog(kProgram, L"started with the command line: " + std::wstring(GetCommandLineW()));
  SampleLog(kProgram, L"running from: " + packageFolder + L"; current folder: " + CurrentFolder());
  SampleLog(kProgram, L"/clone_wait: " + YesNo(args.cloneWait) + L"; /hide_progress: " +
                          YesNo(args.hideProgress) + L"; language switch: " +
                          LanguageText(args.languageId));
  for (const std::wstring& token : args.unknown) SampleLog(kProgram, L"unknown switch: " + token);
  if (args.hasResultWindow) {
    SampleLog(kProgram, L"result window: " + DecimalText(args.resultWindow) + L", message " +
                            DecimalText(args.resultMessage) + L"; installer's command line: [" +
                            args.installerArgs + L"]");
  } else {
    SampleLog(kProgram,
              L"no usable \"/W32:<window>:<message>\" argument: the outcome goes nowhere");
  }
}

void LogPortsFile(const std::wstring& packageFolder) {
  std::wstring path = packageFolder + L"\\PORTS.dat";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    SampleLog(kProgram, L"PORTS.dat: not found beside the setup");
    return;
  }
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
    text.append(buffer, read);
  CloseHandle(file);
  PortsSummary summary = SummarizePorts(text);
  SampleLogText(
      kProgram,
      L"PORTS.dat: found, " + DecimalText(static_cast<long long>(text.size())) + L" bytes, " +
          DecimalText(summary.usbLines) + L" USB port line(s), " +
          DecimalText(summary.emulatorLines) + L" emulator port line(s)" +
          (summary.portsSection && summary.emulatorSection ? L"" : L", a section missing") +
          L"; contents:",
      text);
}

// The installer blocks without pumping messages while we run, so the outcome must be posted:
// a sent message would wait for it forever.
void PostOutcome(const SetupArgs& args, DWORD outcome) {
  if (!args.hasResultWindow) return;
  HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(static_cast<LONG>(args.resultWindow)));
  BOOL posted = PostMessageW(window, args.resultMessage, static_cast<WPARAM>(outcome), 0);
  SampleLog(kProgram, L"posted outcome " + DecimalText(outcome) + L" as message " +
                          DecimalText(args.resultMessage) + L" to window " +
                          DecimalText(args.resultWindow) +
                          (posted ? L"" : L" - failed, error " + DecimalText(GetLastError())));
}

std::wstring Heading(bool uninstall, DWORD outcome) {
  std::wstring what = uninstall ? L"Removal" : L"Installation";
  return outcome == 0 ? what + L" of the Orvik Portivo sample package is complete."
                      : what + L" of the Orvik Portivo sample package failed (error " +
                            DecimalText(outcome) + L").";
}

std::wstring Details(bool uninstall, DWORD outcome, const InstallTargets& targets) {
  if (outcome != 0) return L"See %TEMP%\\PortivoSample.log for each step.";
  if (uninstall) return L"Removed:\n" + targets.product + L"\n" + targets.startMenu;
  return L"Installed into:\n" + targets.product + L"\n\nStart menu:\n" + targets.startMenu;
}

int RunSampleSetup(HINSTANCE instance, const wchar_t* commandLine) {
  SetupArgs args = ParseSetupArgs(commandLine);
  std::wstring packageFolder = OwnFolder();
  LogReceived(args, packageFolder);
  LogPortsFile(packageFolder);

  ManualChoice manual = ChooseManual(args.languageId, GetUserDefaultLangID());
  HWND dialog = nullptr;
  if (!args.hideProgress) {
    dialog = OpenProgressWindow(instance,
                                args.uninstall ? L"Removing the Orvik Portivo sample package..."
                                               : L"Installing the Orvik Portivo sample package...",
                                L"Language: " + std::wstring(manual.folder));
  }

  InstallTargets targets = FindInstallTargets(kProgram);
  DWORD outcome = args.uninstall ? RemoveSampleFiles(kProgram, targets, true)
                                 : InstallSampleFiles(kProgram, targets, packageFolder, manual);
  SampleLog(kProgram,
            std::wstring(args.uninstall ? L"removal" : L"installation") +
                (outcome == 0 ? L" succeeded" : L" failed, error " + DecimalText(outcome)));
  ShowProgressText(dialog, Heading(args.uninstall, outcome),
                   Details(args.uninstall, outcome, targets));
  HoldAndCloseProgressWindow(dialog, kDialogMilliseconds);

  PostOutcome(args, outcome);
  int exitCode = outcome == 0 ? 0 : 2;
  SampleLog(kProgram, L"exit code " + DecimalText(exitCode));
  return exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  return RunSampleSetup(instance, commandLine);
}

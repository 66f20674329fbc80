#include "run/messages.h"

#include "common/run_log.h"
#include "run/dll_search.h"
#include "run/result_codes.h"
#include "run/window_station.h"

const wchar_t kBoxCaption[] = L"Orvik Portivo Ver.8.70b";

namespace {

const MessageSet kJapanese = {
    L"本インストーラはすでに起動しています。",
    L"サポート対象外のOSの為、インストールできません。\r\nインストールを中止します。",
    L"動作モードが違うOrvik Portivoがインストールされています。\r\n初めに動作モードが違うOrvik Portivoをアンインストールしてください。",
    L"管理者権限で実行してください。",
    L"インストールに失敗しました。",
};

const MessageSet kTraditionalChinese = {
    L"安裝程序已經進行中。",
    L"此作業系統不被支援。\r\n安裝中止。",
    L"已安裝具有不同操作模式的OrvikPortivo。\r\n首先，以其他操作模式卸載OrvikPortivo。",
    L"請使用管理員帳號登入。",
    L"安裝失敗。",
};

const MessageSet kSimplifiedChinese = {
    L"安装程序已经运行。",
    L"此操作系统不被支持。\r\n安装中止。",
    L"已安装具有不同操作模式的OrvikPortivo。\r\n首先，以其他操作模式卸载OrvikPortivo。",
    L"请登录管理员帐户。",
    L"安装失败。",
};

const MessageSet kEnglish = {
    L"This installer is already running.",
    L"This operating system is not supported.\r\nInstallation canceled.",
    L"Orvik Portivo with different operation mode is installed.\r\nFirst, uninstall the Orvik Portivo with a different operation mode.",
    L"Please log on administrator account.",
    L"Installation failed.",
};

}  // namespace

MessageSet MessageSetFor(UiLanguage language) {
  switch (language) {
    case UiLanguage::Japanese: return kJapanese;
    case UiLanguage::TraditionalChinese: return kTraditionalChinese;
    case UiLanguage::SimplifiedChinese: return kSimplifiedChinese;
    case UiLanguage::English: break;
  }
  return kEnglish;
}

MessageSet SelectMessageSet() { return MessageSetFor(LanguageForId(UserLanguageId())); }

const wchar_t* MessageForCode(const MessageSet& messages, int code) {
  switch (code) {
    case kResultAlreadyRunning: return messages.alreadyRunningText;
    case kResultUnsupportedOs: return messages.unsupportedOsText;
    case kResultModeConflict: return messages.modeConflictText;
    case kResultNotAdministrator: return messages.notAdminText;
    case kResultInstallFailed: return messages.installFailedText;
    default: return L"";
  }
}

void ShowRunError(const MessageSet& messages, int code) {
  if (!WindowStationVisible()) {
    Log("the box \"%s\" was not shown: this window station is not visible, so nobody could close it",
        MessageForCode(messages, code));
    return;
  }
  // The common controls serve the box alone. Loading them costs a run under Wine a fifth of its
  // time, so a run that shows no box never does.
  InitCommonControlsFromSystem();
  MessageBoxW(nullptr, MessageForCode(messages, code), kBoxCaption, MB_OK | MB_ICONERROR);
}

// The record a run leaves in the Application event log, read back from the log on Windows. Wine's
// event log functions are stubs that hand what they are given to its debug channels, on the
// process's standard error, which the suite keeps in a file: the type, the id, whether a user's SID
// came with it, and the text. The source's key in the registry is real.
#include "e2e_support.h"

#include <cstdio>
#include <fstream>

namespace e2e {
namespace {

struct Record {
  unsigned type = 0, id = 0;
  bool user = false;
  std::string text;
};

// Each ReportEventW call from offset on: "...:fixme:advapi:ReportEventW (<source>,<type>,<category>,
// <id>,<sid>,..." followed by its string, "...:eventlog:ReportEventW L"<text>"", escaped by Wine.
std::vector<Record> ReportedToWine(const std::wstring& errorsPath, std::streamoff offset) {
  std::vector<Record> records;
  std::ifstream errors(errorsPath.c_str());
  errors.seekg(offset);
  for (std::string line; std::getline(errors, line);) {
    std::size_t at = line.find(":advapi:ReportEventW (");
    unsigned long long source = 0, sid = 0;
    unsigned type = 0, category = 0, id = 0;
    if (at != std::string::npos &&
        std::sscanf(line.c_str() + at, ":advapi:ReportEventW (%llx,%x,%x,%x,%llx", &source, &type, &category, &id, &sid) == 5) {
      records.push_back({type, id, sid != 0, ""});
    } else if ((at = line.find(":eventlog:ReportEventW L\"")) != std::string::npos && !records.empty()) {
      for (std::size_t i = at + 25, end = line.rfind('"'); i < end; ++i) {
        const bool escaped = line[i] == '\\' && ++i < end;
        records.back().text += !escaped ? line[i] : line[i] == 'r' ? '\r' : line[i] == 'n' ? '\n' : line[i];
      }
    }
  }
  return records;
}

// On Windows, the installer's records in the Application log after record number `after`.
std::vector<Record> ReportedToWindows(DWORD after) {
  std::vector<Record> records;
  const HANDLE log = OpenEventLogW(nullptr, L"Application");
  std::vector<BYTE> buffer(0x10000);
  DWORD read = 0, needed = 0;
  while (log != nullptr && ReadEventLogW(log, EVENTLOG_SEQUENTIAL_READ | EVENTLOG_FORWARDS_READ, 0, buffer.data(),
                                         static_cast<DWORD>(buffer.size()), &read, &needed)) {
    for (DWORD at = 0; at < read; at += reinterpret_cast<EVENTLOGRECORD*>(&buffer[at])->Length) {
      const EVENTLOGRECORD* record = reinterpret_cast<EVENTLOGRECORD*>(&buffer[at]);
      if (record->RecordNumber > after && std::wstring(reinterpret_cast<const wchar_t*>(record + 1)) == L"Portivo Installer") {
        records.push_back({record->EventType, record->EventID & 0xFFFF, record->UserSidLength != 0,
                           Narrow(reinterpret_cast<const wchar_t*>(&buffer[at + record->StringOffset]))});
      }
    }
  }
  if (log != nullptr) CloseEventLog(log);
  return records;
}

// Where the records of the next run will be: an offset into Wine's standard error, or the newest
// record number of the Application log.
struct Mark {
  std::wstring errorsPath;
  std::streamoff offset = 0;
  DWORD newest = 0;
  Mark() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"PORTIVO_STDERR_FILE", path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) errorsPath = path;
    std::ifstream errors(errorsPath.c_str(), std::ios::ate);
    offset = errors ? static_cast<std::streamoff>(errors.tellg()) : 0;
    const HANDLE log = OpenEventLogW(nullptr, L"Application");
    DWORD oldest = 0, count = 0;
    if (log != nullptr && GetOldestEventLogRecord(log, &oldest) && GetNumberOfEventLogRecords(log, &count)) {
      newest = oldest + count - 1;
    }
    if (log != nullptr) CloseEventLog(log);
  }
  std::vector<Record> Since() const { return UnderWine() ? ReportedToWine(errorsPath, offset) : ReportedToWindows(newest); }
};

class EventRecord : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    if (UnderWine() && Mark().errorsPath.empty()) {
      GTEST_SKIP() << "Wine reports events on the standard error of the processes: run through tests/wine/keep-stderr";
    }
  }
  ScratchFolder scratch_;
};

// One record per run, of the type where its exit code came from, whatever the mode, and none for an
// extraction, which changes nothing on the machine. The source is registered where its key is
// missing, and a key that was there is left as it was.
TEST_F(EventRecord, EveryRunThatMayChangeTheMachineLeavesOneRecord) {
  const std::wstring messageFile = L"%SystemRoot%\\System32\\EventCreate.exe", vendors = L"C:\\Vendor\\messages.dll";
  const std::string logLine = "\r\nlog: " + Narrow(LogPath());
  struct Row { std::wstring arguments; const wchar_t* env; const wchar_t* value; const wchar_t* serviceKey; bool seeded;
               DWORD code; unsigned type, id; std::string text; } rows[] = {
      {L"-s1", L"PROBE_POST", L"0", nullptr, false, 0, EVENTLOG_INFORMATION_TYPE, 100,
       "Portivo Installer 8.70, quiet install: exit code 0: the outcome the setup posted (0 when it posted none)\r\n"
       "command line: -s1" + logLine},
      {L"-s1", L"PROBE_POST", L"3010", nullptr, true, 3010, EVENTLOG_WARNING_TYPE, 200, "quiet install: exit code 3010: "},
      {L"-s1", L"PROBE_EXIT", L"crash", nullptr, false, 1001, EVENTLOG_ERROR_TYPE, 110,
       "quiet install: exit code 1001: the setup crashed (exit code 0xC0000005)\r\n"},
      {L"-s1 -QX:COM3 -KD:COM3", L"PROBE_POST", L"0", nullptr, false, 106, EVENTLOG_ERROR_TYPE, 106,
       "exit code 106: QX and KD name the same port\r\ncommand line: -s1 -QX:COM3 -KD:COM3" + logLine},
      {L"-s1 -KM", L"PROBE_POST", L"0", kEmulatorServiceKey, false, 103, EVENTLOG_ERROR_TYPE, 103, "quiet install: exit code 103: "},
      {L"-u3", L"PROBE_POST", L"0", nullptr, false, 0, EVENTLOG_INFORMATION_TYPE, 100, "removal: exit code 0: the clean-up library and the emulator setup ran"},
      {L"-extract:" + scratch_ / L"package", L"PROBE_POST", L"0", nullptr, false, 0, 0, 0, ""},
  };
  for (const Row& row : rows) {
    const std::string label = Narrow(row.arguments);
    for (const wchar_t* key : {kEventSourceKey, kEmulatorServiceKey}) RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
    if (row.seeded) ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kEventSourceKey, L"EventMessageFile", REG_SZ, vendors));
    if (row.serviceKey) ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, row.serviceKey));
    const Mark mark;
    runner::RunReport report = Run(row.arguments + L" " + LogSwitch(),
                                   {runner::SetEnv(row.env, row.value), runner::SetEnv(L"WINEDEBUG", L"-all,+eventlog,fixme+advapi")});
    EXPECT_EQ(row.code, report.exit_code) << label;
    const std::vector<Record> records = mark.Since();
    const RegValue message = ReadValue(HKEY_LOCAL_MACHINE, kEventSourceKey, L"EventMessageFile");
    if (row.id == 0) {
      EXPECT_TRUE(records.empty()) << label << ": an extraction left a record";
      EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEventSourceKey)) << label << ": an extraction registered the source";
      continue;
    }
    ASSERT_EQ(1u, records.size()) << label;
    EXPECT_EQ(row.type, records[0].type) << label;
    EXPECT_EQ(row.id, records[0].id) << label;
    EXPECT_TRUE(records[0].user) << label << ": no user's SID";
    EXPECT_NE(std::string::npos, records[0].text.find(row.text)) << label << ": " << records[0].text;
    const std::wstring expected = row.seeded ? vendors : messageFile;
    EXPECT_EQ(static_cast<DWORD>(row.seeded ? REG_SZ : REG_EXPAND_SZ), message.type) << label;
    EXPECT_EQ(std::wstring(expected.c_str(), expected.size() + 1),
              std::wstring(reinterpret_cast<const wchar_t*>(message.data.data()), message.data.size() / 2)) << label;
    EXPECT_EQ(row.seeded ? 0u : 7u, ReadValue(HKEY_LOCAL_MACHINE, kEventSourceKey, L"TypesSupported").AsDword()) << label;
  }
}

}  // namespace
}  // namespace e2e

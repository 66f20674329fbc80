// Reading what the probes leave behind: the setup probe's record (key=value lines, UTF-8) and the
// removal and planted logs (one event per line, "kind=...|seq=...|key=value|..." fields).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace runner {

struct Field {
  std::string key;
  std::string value;
};
using Fields = std::vector<Field>;

// The record's lines as key/value pairs, in file order. kRunnerFileError when it cannot be read.
int ReadProbeRecord(const std::wstring& path, Fields* record);

// The first value of key, or "" (with *present false) when there is none.
std::string ValueOf(const Fields& fields, const std::string& key, bool* present = nullptr);
std::vector<std::string> ValuesOf(const Fields& fields, const std::string& key);

// One log line split on '|'; a "cmdline" field takes the rest of the line, '|' included.
Fields SplitLogLine(const std::string& line);

// Every line of a log, split. A missing log reads as no lines (kRunnerOk): no event happened.
int ReadProbeLog(const std::wstring& path, std::vector<Fields>* lines);

// A "file=<relative path>|<size>|<crc32>" line of the setup probe's record.
struct RecordedFile {
  std::string path;  // relative to the setup's folder, '\'-separated, UTF-8
  unsigned long long size = 0;
  std::string crc32;  // 8 lower-case hex digits, or "unreadable"
};
std::vector<RecordedFile> RecordedFiles(const Fields& record);

// CRC-32 of bytes in the record's form (8 lower-case hex digits).
std::string Crc32Hex(const std::vector<unsigned char>& bytes);

}  // namespace runner

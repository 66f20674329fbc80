#include "probe_record.h"

#include <cstdlib>

#include "common/probe_support.h"
#include "installer_runner.h"
#include "resource_patch.h"

namespace runner {

namespace {
std::vector<std::string> Lines(const std::vector<unsigned char>& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (unsigned char c : bytes) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

Field SplitPair(const std::string& text) {
  std::size_t eq = text.find('=');
  if (eq == std::string::npos) return Field{text, ""};
  return Field{text.substr(0, eq), text.substr(eq + 1)};
}
}  // namespace

int ReadProbeRecord(const std::wstring& path, Fields* record) {
  record->clear();
  std::vector<unsigned char> bytes;
  if (ReadWholeFile(path, &bytes) != kRunnerOk) return kRunnerFileError;
  for (const std::string& line : Lines(bytes)) record->push_back(SplitPair(line));
  return kRunnerOk;
}

std::string ValueOf(const Fields& fields, const std::string& key, bool* present) {
  for (const Field& f : fields) {
    if (f.key == key) {
      if (present != nullptr) *present = true;
      return f.value;
    }
  }
  if (present != nullptr) *present = false;
  return std::string();
}

std::vector<std::string> ValuesOf(const Fields& fields, const std::string& key) {
  std::vector<std::string> values;
  for (const Field& f : fields) {
    if (f.key == key) values.push_back(f.value);
  }
  return values;
}

Fields SplitLogLine(const std::string& line) {
  Fields fields;
  std::size_t start = 0;
  while (start <= line.size()) {
    if (line.compare(start, 8, "cmdline=") == 0) {
      fields.push_back(SplitPair(line.substr(start)));
      break;
    }
    std::size_t bar = line.find('|', start);
    if (bar == std::string::npos) bar = line.size();
    fields.push_back(SplitPair(line.substr(start, bar - start)));
    start = bar + 1;
  }
  return fields;
}

int ReadProbeLog(const std::wstring& path, std::vector<Fields>* lines) {
  lines->clear();
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return kRunnerOk;
  std::vector<unsigned char> bytes;
  if (ReadWholeFile(path, &bytes) != kRunnerOk) return kRunnerFileError;
  for (const std::string& line : Lines(bytes)) lines->push_back(SplitLogLine(line));
  return kRunnerOk;
}

std::vector<RecordedFile> RecordedFiles(const Fields& record) {
  std::vector<RecordedFile> files;
  for (const std::string& value : ValuesOf(record, "file")) {
    std::size_t second = value.rfind('|');
    std::size_t first = second == std::string::npos || second == 0 ? std::string::npos
                                                                   : value.rfind('|', second - 1);
    if (first == std::string::npos) continue;
    RecordedFile f;
    f.path = value.substr(0, first);
    f.size = std::strtoull(value.substr(first + 1, second - first - 1).c_str(), nullptr, 10);
    f.crc32 = value.substr(second + 1);
    files.push_back(f);
  }
  return files;
}

std::string Crc32Hex(const std::vector<unsigned char>& bytes) {
  return probe::Hex8(probe::Crc32(0, bytes.data(), bytes.size()));
}

}  // namespace runner

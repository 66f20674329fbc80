#include "ports/emulator_ports.h"

#include <gtest/gtest.h>

#include "port_registry_seed.h"
#include "ports/ports_file.h"

namespace ports_test {
namespace {

TEST(EmulatorHardwareIdTest, MatchesTheEmulatorIdIgnoringAsciiCase) {
  const struct { const char* firstString; bool expected; } rows[] = {
      {"UMDF\\OrvikPortEmulator", true}, {"umdf\\orvikportemulator", true},
      {"UMDF\\ORVIKPORTEMULATOR", true}, {"ROOT\\Umdf\\OrvikPortEmulator&REV_0002", true},
      {"UMDF\\OrvikPortEmulato", false}, {"UMDF/OrvikPortEmulator", false},
      {"UMDF\\Orvik PortEmulator", false}, {"", false},
  };
  for (const auto& row : rows) EXPECT_EQ(row.expected, HardwareIdNamesEmulator(row.firstString)) << row.firstString;
}

TEST(EmulatorDriverIndexTest, ReadsTheNumberAfterTheFirstBackslash) {
  const struct { bool read; const char* driver; std::int32_t expected; } rows[] = {
      {true, "{4d36e978-e325-11ce-bfc1-08002be10318}\\0002", 2},
      {true, "Ports\\0012", 12}, {true, "Ports\\12345", 12345}, {true, "Ports\\-5", -5},
      {true, "Ports\\ 7x", 7},         // white space skipped, digits end at the first other byte
      {true, "Ports\\0001\\0009", 1},  // the first backslash counts
      {true, "Ports\\", 0}, {true, "Ports\\abc", 0},
      {true, "Ports0002", kNoDriverIndex}, {true, "", kNoDriverIndex},
      {false, "Ports\\0003", kNoDriverIndex},  // a failed read leaves no text to trust
  };
  for (const auto& row : rows) EXPECT_EQ(row.expected, DriverIndexFromText(row.read, row.driver)) << row.driver;
}

// One seeded value: in the instance key or in its "Device Parameters" key. A null name only
// creates the key.
struct Seed {
  bool inParameters;
  const char* name;
  DWORD type;
  std::string bytes;
};
Seed Instance(const char* name, DWORD type, const std::string& bytes) { return {false, name, type, bytes}; }
Seed Parameters(const char* name, DWORD type, const std::string& bytes) { return {true, name, type, bytes}; }
Seed Id(const std::string& bytes, DWORD type = REG_MULTI_SZ) { return Instance("HardwareID", type, bytes); }
Seed Name(const std::string& text, DWORD type = REG_SZ) { return Parameters("PortName", type, text); }
Seed Driver(const std::string& text, DWORD type = REG_SZ) { return Instance("Driver", type, text); }
Seed OrvId(const std::string& text, DWORD type = REG_SZ) { return Parameters("OrvID", type, text); }
const Seed kParametersKey = {true, nullptr, 0, ""};

// A line as FormatEmulatorLine writes it, without "\n", for a port with no settings.
std::string Line(const std::string& name, const char* instance = "0000", const char* driver = "9999") {
  return name + "=" + instance + "," + driver + ",0,0,0,0,0,0,0,0,,0,0,0,0,0,0,0,0";
}

struct Row {
  const char* what;
  const char* instance;
  std::vector<Seed> seeds;
  std::vector<std::string> expectedLines;
};

class EmulatorPortsTest : public PortRegistryTest {
 protected:
  void SeedInstance(const char* instance, const std::vector<Seed>& seeds) {
    for (const Seed& seed : seeds) {
      const std::string path = seed.inParameters ? PortParameters(instance) : PortInstance(instance);
      if (seed.name == nullptr) {
        CreateKey(path);
      } else {
        SetValue(path, seed.name, seed.type, seed.bytes);
      }
    }
  }

  void CheckRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SeedInstance(row.instance, row.seeds);
      std::vector<std::string> lines;
      for (const EmulatorPortRecord& record : CollectEmulatorPorts()) {
        char text[kPortsLineCapacity];
        EXPECT_TRUE(FormatEmulatorLine(record, text, kPortsLineCapacity));
        std::string line = text;
        lines.push_back(line.substr(0, line.size() - 1));
      }
      EXPECT_EQ(row.expectedLines, lines) << row.what;
      RemoveSeeds();
    }
  }

  const Seed id_ = Id(Multi({"UMDF\\OrvikPortEmulator"}));
  const Seed com5_ = Name(Text("COM5"));
};

TEST_F(EmulatorPortsTest, WhatMakesAPortAndItsNumbers) {
  EXPECT_TRUE(CollectEmulatorPorts().empty()) << "no ports key";
  CheckRows({
      {"name in Device Parameters", "0000", {id_, com5_}, {Line("COM5")}},
      {"name only in the instance key", "0000", {id_, kParametersKey, Instance("PortName", REG_SZ, Text("COM7"))}, {Line("COM7")}},
      {"Device Parameters wins", "0000", {id_, Instance("PortName", REG_SZ, Text("COM7")), Name(Text("COM8"))}, {Line("COM8")}},
      {"no Device Parameters key", "0000", {id_, Instance("PortName", REG_SZ, Text("COM7"))}, {}},
      {"no PortName anywhere", "0000", {id_, kParametersKey}, {}},
      // The comparison itself is pinned above; these check what is compared.
      {"mixed-case id", "0000", {Id(Multi({"Umdf\\ORVIKportEMULATOR"})), com5_}, {Line("COM5")}},
      {"id only in the second string", "0000", {Id(Multi({"ROOT\\OtherPort", "UMDF\\OrvikPortEmulator"})), com5_}, {}},
      {"another driver's port", "0000", {Id(Multi({"ACPI\\PNP0501"})), com5_}, {}},
      {"no HardwareID", "0000", {com5_}, {}},
      {"instance 0001", "0001", {id_, com5_}, {Line("COM5", "0001")}},
      {"five-digit instance", "12345", {id_, com5_}, {Line("COM5", "12345")}},
      {"letters are 0", "ABC", {id_, com5_}, {Line("COM5")}},
      {"driver 0003", "0000", {id_, com5_, Driver(Text("{4d36e978-e325-11ce-bfc1-08002be10318}\\0003"))}, {Line("COM5", "0000", "0003")}},
      {"driver without a backslash", "0000", {id_, com5_, Driver(Text("Ports0003"))}, {Line("COM5")}},
      // Strings are copied unchanged.
      {"comma and equals sign", "0000", {id_, Name(Text("COM,9")), OrvId(Text("a=b,c"))},
       {"COM,9=0000,9999,0,0,0,0,0,0,0,0,a=b,c,0,0,0,0,0,0,0,0"}},
      {"empty id", "0000", {id_, com5_, OrvId(Text(""))}, {Line("COM5")}},
      {"8-bit name", "0000", {id_, Name(Text("COM\xe9"))}, {Line("COM\xe9")}},
      // A number must be exactly 4 bytes, of any type; other sizes count as missing (0).
      {"2-byte number", "0000", {id_, com5_, Parameters("OrvDCD", REG_DWORD, std::string("\1\0", 2))}, {Line("COM5")}},
      {"8-byte number", "0000", {id_, com5_, Parameters("OrvQXSCMD_Option", REG_QWORD, Dword(3) + Dword(0))}, {Line("COM5")}},
      {"4 binary bytes", "0000", {id_, com5_, Parameters("OrvDCD", REG_BINARY, Dword(3))},
       {"COM5=0000,9999,3,0,0,0,0,0,0,0,,0,0,0,0,0,0,0,0"}},
  });
}

TEST_F(EmulatorPortsTest, SettingsAreCopiedInTheirOrder) {
  const char* const names[] = {"OrvDCD", "OrvDSR", "OrvCTS", "OrvRI", "OrvQX", "OrvKD", "OrvPH", "OrvAsync",
                               "OrvReadIntervalTimeout", "OrvReadTotalTimeoutMultiplier",
                               "OrvReadTotalTimeoutConstant", "OrvWriteTotalTimeoutMultiplier",
                               "OrvWriteTotalTimeoutConstant", "OrvQXSCMD_UnlockTimer", "OrvQXSCMD_Mode",
                               "OrvQXSCMD_Option"};
  const std::uint32_t values[] = {1, 2, 3, 4, 5, 6, 7, 8, 4294967295u, 2147483648u, 11, 12, 13, 14, 15, 16};
  std::vector<Seed> seeds = {id_, com5_, OrvId(Text("Printer1"))};
  for (int i = 0; i < 16; ++i) seeds.push_back(Parameters(names[i], REG_DWORD, Dword(values[i])));
  CheckRows({{"all sixteen", "0000", seeds, {"COM5=0000,9999,1,2,3,4,5,6,7,8,Printer1,-1,-2147483648,11,12,13,14,15,16"}}});
}

// The registry does not promise a NUL after a text. A text that fills its 260-byte buffer without
// one, or is longer than the buffer, counts as missing; one that fits is taken whole.
TEST_F(EmulatorPortsTest, TextsThatDoNotFitTheirBufferCountAsMissing) {
  const std::string full = Repeat('N', 260), longest = Repeat('N', 259);
  const std::string driverTail = Repeat('a', 255) + "\\0007";  // 260 bytes, no NUL
  const std::string idTail = Repeat('x', 260 - 22) + "UMDF\\OrvikPortEmulator";  // first string never ends
  const std::string first = Text("UMDF\\OrvikPortEmulator");
  CheckRows({
      {"PortName of 260 bytes", "0000", {id_, Name(full)}, {}},
      {"PortName of 260 bytes, binary", "0000", {id_, Name(full, REG_BINARY)}, {}},
      {"PortName longer than the buffer", "0000", {id_, Name(Text(Repeat('N', 300)))}, {}},
      {"an over-long PortName falls back to the instance key", "0000",
       {id_, Name(full), Instance("PortName", REG_SZ, Text("COM8"))}, {Line("COM8")}},
      {"PortName of 259 bytes fits", "0000", {id_, Name(Text(longest))}, {Line(longest)}},
      {"Driver of 260 bytes", "0000", {id_, com5_, Driver(driverTail)}, {Line("COM5")}},
      {"Driver of 260 bytes, binary", "0000", {id_, com5_, Driver(driverTail, REG_BINARY)}, {Line("COM5")}},
      {"Driver longer than the buffer", "0000", {id_, com5_, Driver(Text(Repeat('a', 295) + "\\0007"))}, {Line("COM5")}},
      {"Driver of 259 bytes fits", "0000", {id_, com5_, Driver(Text(Repeat('a', 254) + "\\0007"))}, {Line("COM5", "0000", "0007")}},
      {"OrvID of 260 bytes", "0000", {id_, com5_, OrvId(full)}, {Line("COM5")}},
      {"OrvID of 260 bytes, binary", "0000", {id_, com5_, OrvId(full, REG_BINARY)}, {Line("COM5")}},
      {"OrvID longer than the buffer", "0000", {id_, com5_, OrvId(Text(Repeat('I', 261)))}, {Line("COM5")}},
      {"OrvID of 259 bytes fits", "0000", {id_, com5_, OrvId(Text(longest))},
       {"COM5=0000,9999,0,0,0,0,0,0,0,0," + longest + ",0,0,0,0,0,0,0,0"}},
      {"HardwareID list of exactly 260 bytes", "0000", {Id(Multi({"UMDF\\OrvikPortEmulator", Repeat('x', 235)})), com5_}, {Line("COM5")}},
      // The type is never looked at; binary data comes back exactly as stored, with no NUL added.
      {"terminated first string, then bytes to the end", "0000", {Id(first + Repeat('x', 260 - first.size()), REG_BINARY), com5_}, {Line("COM5")}},
      {"unterminated first string", "0000", {Id(idTail), com5_}, {}},
      {"unterminated first string, binary", "0000", {Id(idTail, REG_BINARY), com5_}, {}},
      {"HardwareID longer than the buffer", "0000", {Id(Multi({"UMDF\\OrvikPortEmulator", Repeat('x', 300)})), com5_}, {}},
  });
}

TEST_F(EmulatorPortsTest, PortsComeInEnumerationOrder) {
  SeedInstance("0003", {id_, Name(Text("COM12"))});
  SeedInstance("0001", {Id(Multi({"ACPI\\PNP0501"})), Name(Text("COM1"))});
  SeedInstance("0000", {id_, com5_});
  std::vector<std::string> names;
  for (const EmulatorPortRecord& record : CollectEmulatorPorts()) names.push_back(record.portName);
  EXPECT_EQ((std::vector<std::string>{"COM5", "COM12"}), names);
}

}  // namespace
}  // namespace ports_test

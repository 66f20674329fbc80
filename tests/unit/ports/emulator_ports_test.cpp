#include "ports/emulator_ports.h"

#include <gtest/gtest.h>

#include "port_registry_seed.h"
#include "ports/ports_file.h"

namespace ports_test {
namespace {

TEST(EmulatorHardwareIdTest, MatchesTheEmulatorIdIgnoringAsciiCase) {
  struct Row {
    const char* firstString;
    bool expected;
  } rows[] = {
      {"UMDF\\OrvikPortEmulator", true},
      {"umdf\\orvikportemulator", true},
      {"UMDF\\ORVIKPORTEMULATOR", true},
      {"ROOT\\Umdf\\OrvikPortEmulator&REV_0002", true},  // inside a longer id
      {"UMDF\\OrvikPortEmulato", false},
      {"UMDF/OrvikPortEmulator", false},
      {"UMDF\\Orvik PortEmulator", false},
      {"", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.expected, HardwareIdNamesEmulator(row.firstString)) << row.firstString;
  }
}

TEST(EmulatorDriverIndexTest, ReadsTheNumberAfterTheFirstBackslash) {
  struct Row {
    bool read;
    const char* driver;
    std::int32_t expected;
  } rows[] = {
      {true, "{4d36e978-e325-11ce-bfc1-08002be10318}\\0002", 2},
      {true, "Ports\\0012", 12},
      {true, "Ports\\12345", 12345},
      {true, "Ports\\-5", -5},
      {true, "Ports\\ 7x", 7},         // white space skipped, digits end at the first other byte
      {true, "Ports\\0001\\0009", 1},  // the first backslash counts
      {true, "Ports\\", 0},
      {true, "Ports\\abc", 0},
      {true, "Ports0002", kNoDriverIndex},
      {true, "", kNoDriverIndex},
      {false, "Ports\\0003", kNoDriverIndex},  // a failed read leaves no text to trust
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.expected, DriverIndexFromText(row.read, row.driver)) << row.driver;
  }
}

// One seeded value: in the instance key or in its "Device Parameters" key. A null name only
// creates the key.
struct Seed {
  bool inParameters;
  const char* name;
  DWORD type;
  std::string bytes;
};

struct Row {
  const char* what;
  const char* instance;
  std::vector<Seed> seeds;
  std::vector<std::string> expectedLines;  // as FormatEmulatorLine writes them, without "\n"
};

const std::string kEmulatorId = Multi({"UMDF\\OrvikPortEmulator"});
const char kNoSettings[] = ",0,0,0,0,0,0,0,0,,0,0,0,0,0,0,0,0";

class EmulatorPortsTest : public PortRegistryTest {
 protected:
  void SeedInstance(const char* instance, const std::vector<Seed>& seeds) {
    for (const Seed& seed : seeds) {
      const std::string path =
          seed.inParameters ? PortParameters(instance) : PortInstance(instance);
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
        std::string line = FormatEmulatorLine(record);
        lines.push_back(line.substr(0, line.size() - 1));
      }
      EXPECT_EQ(row.expectedLines, lines) << row.what;
      RemoveSeeds();
    }
  }
};

Seed Instance(const char* name, DWORD type, const std::string& bytes) {
  return {false, name, type, bytes};
}
Seed Parameters(const char* name, DWORD type, const std::string& bytes) {
  return {true, name, type, bytes};
}
const Seed kParametersKey = {true, nullptr, 0, ""};
Seed Id(const std::string& bytes) { return Instance("HardwareID", REG_MULTI_SZ, bytes); }

TEST_F(EmulatorPortsTest, NoPortsKeyYieldsNothing) { EXPECT_TRUE(CollectEmulatorPorts().empty()); }

TEST_F(EmulatorPortsTest, PortNameAndKeysDecideWhetherAPortCounts) {
  CheckRows({
      {"name in Device Parameters",
       "0000",
       {Id(kEmulatorId), Parameters("PortName", REG_SZ, Text("COM5"))},
       {std::string("COM5=0000,9999") + kNoSettings}},
      {"name only in the instance key",
       "0000",
       {Id(kEmulatorId), kParametersKey, Instance("PortName", REG_SZ, Text("COM7"))},
       {std::string("COM7=0000,9999") + kNoSettings}},
      {"Device Parameters wins over the instance key",
       "0000",
       {Id(kEmulatorId), Instance("PortName", REG_SZ, Text("COM7")),
        Parameters("PortName", REG_SZ, Text("COM8"))},
       {std::string("COM8=0000,9999") + kNoSettings}},
      {"no Device Parameters key",
       "0000",
       {Id(kEmulatorId), Instance("PortName", REG_SZ, Text("COM7"))},
       {}},
      {"no PortName anywhere", "0000", {Id(kEmulatorId), kParametersKey}, {}},
  });
}

// The comparison itself is covered by EmulatorHardwareIdTest; these check what is compared.
TEST_F(EmulatorPortsTest, OnlyTheFirstHardwareIdStringIsMatched) {
  const Seed name = Parameters("PortName", REG_SZ, Text("COM5"));
  const std::string line = std::string("COM5=0000,9999") + kNoSettings;
  CheckRows({
      {"mixed case", "0000", {Id(Multi({"Umdf\\ORVIKportEMULATOR"})), name}, {line}},
      {"only in the second string",
       "0000",
       {Id(Multi({"ROOT\\OtherPort", "UMDF\\OrvikPortEmulator"})), name},
       {}},
      {"another driver's port", "0000", {Id(Multi({"ACPI\\PNP0501"})), name}, {}},
      {"no HardwareID", "0000", {name}, {}},
  });
}

TEST_F(EmulatorPortsTest, InstanceAndDriverNumbers) {
  const Seed id = Id(kEmulatorId);
  const Seed name = Parameters("PortName", REG_SZ, Text("COM5"));
  CheckRows({
      {"0001 is 1", "0001", {id, name}, {std::string("COM5=0001,9999") + kNoSettings}},
      {"five digits", "12345", {id, name}, {std::string("COM5=12345,9999") + kNoSettings}},
      {"letters are 0", "ABC", {id, name}, {std::string("COM5=0000,9999") + kNoSettings}},
      {"driver 0003",
       "0000",
       {id, name, Instance("Driver", REG_SZ, Text("{4d36e978-e325-11ce-bfc1-08002be10318}\\0003"))},
       {std::string("COM5=0000,0003") + kNoSettings}},
      {"driver without a backslash",
       "0000",
       {id, name, Instance("Driver", REG_SZ, Text("Ports0003"))},
       {std::string("COM5=0000,9999") + kNoSettings}},
  });
}

TEST_F(EmulatorPortsTest, SettingsAreCopiedInTheirOrder) {
  const char* const numberNames[] = {"OrvDCD",
                                     "OrvDSR",
                                     "OrvCTS",
                                     "OrvRI",
                                     "OrvQX",
                                     "OrvKD",
                                     "OrvPH",
                                     "OrvAsync",
                                     "OrvReadIntervalTimeout",
                                     "OrvReadTotalTimeoutMultiplier",
                                     "OrvReadTotalTimeoutConstant",
                                     "OrvWriteTotalTimeoutMultiplier",
                                     "OrvWriteTotalTimeoutConstant",
                                     "OrvQXSCMD_UnlockTimer",
                                     "OrvQXSCMD_Mode",
                                     "OrvQXSCMD_Option"};
  const std::uint32_t values[] = {1,           2,           3,  4,  5,  6,  7,  8,
                                  4294967295u, 2147483648u, 11, 12, 13, 14, 15, 16};
  std::vector<Seed> seeds = {Id(kEmulatorId), Parameters("PortName", REG_SZ, Text("COM5")),
                             Parameters("OrvID", REG_SZ, Text("Printer1"))};
  for (int i = 0; i < 16; ++i)
    seeds.push_back(Parameters(numberNames[i], REG_DWORD, Dword(values[i])));
  CheckRows({{"all sixteen",
              "0000",
              seeds,
              {"COM5=0000,9999,1,2,3,4,5,6,7,8,Printer1,-1,-2147483648,11,12,13,14,15,16"}}});
}

TEST_F(EmulatorPortsTest, StringsAreCopiedUnchanged) {
  const Seed id = Id(kEmulatorId);
  CheckRows({
      {"comma and equals sign",
       "0000",
       {id, Parameters("PortName", REG_SZ, Text("COM,9")),
        Parameters("OrvID", REG_SZ, Text("a=b,c"))},
       {"COM,9=0000,9999,0,0,0,0,0,0,0,0,a=b,c,0,0,0,0,0,0,0,0"}},
      {"empty id",
       "0000",
       {id, Parameters("PortName", REG_SZ, Text("COM5")), Parameters("OrvID", REG_SZ, Text(""))},
       {std::string("COM5=0000,9999") + kNoSettings}},
      {"8-bit name",
       "0000",
       {id, Parameters("PortName", REG_SZ, Text("COM\xe9"))},
       {std::string("COM\xe9=0000,9999") + kNoSettings}},
  });
}

// The registry does not promise a NUL after a text. A text that fills its 260-byte buffer without
// one, or is longer than the buffer, counts as missing; one that fits is taken whole.
TEST_F(EmulatorPortsTest, TextsThatDoNotFitTheirBufferCountAsMissing) {
  const Seed id = Id(kEmulatorId);
  const Seed name = Parameters("PortName", REG_SZ, Text("COM5"));
  const std::string unterminated = Repeat('N', 260);
  const std::string longest = Repeat('N', 259);
  const std::string driverTail = Repeat('a', 255) + "\\0007";  // 260 bytes, no NUL
  CheckRows({
      {"PortName of 260 bytes without NUL",
       "0000",
       {id, Parameters("PortName", REG_SZ, unterminated)},
       {}},
      {"PortName of 260 bytes, binary",
       "0000",
       {id, Parameters("PortName", REG_BINARY, unterminated)},
       {}},
      {"PortName longer than the buffer",
       "0000",
       {id, Parameters("PortName", REG_SZ, Text(Repeat('N', 300)))},
       {}},
      {"an over-long PortName falls back to the instance key",
       "0000",
       {id, Parameters("PortName", REG_SZ, unterminated),
        Instance("PortName", REG_SZ, Text("COM8"))},
       {std::string("COM8=0000,9999") + kNoSettings}},
      {"PortName of 259 bytes fits",
       "0000",
       {id, Parameters("PortName", REG_SZ, Text(longest))},
       {longest + "=0000,9999" + kNoSettings}},
      {"Driver of 260 bytes without NUL",
       "0000",
       {id, name, Instance("Driver", REG_SZ, driverTail)},
       {std::string("COM5=0000,9999") + kNoSettings}},
      {"Driver of 260 bytes, binary",
       "0000",
       {id, name, Instance("Driver", REG_BINARY, driverTail)},
       {std::string("COM5=0000,9999") + kNoSettings}},
      {"Driver longer than the buffer",
       "0000",
       {id, name, Instance("Driver", REG_SZ, Text(Repeat('a', 295) + "\\0007"))},
       {std::string("COM5=0000,9999") + kNoSettings}},
      {"Driver of 259 bytes fits",
       "0000",
       {id, name, Instance("Driver", REG_SZ, Text(Repeat('a', 254) + "\\0007"))},
       {std::string("COM5=0000,0007") + kNoSettings}},
      {"OrvID of 260 bytes without NUL",
       "0000",
       {id, name, Parameters("OrvID", REG_SZ, unterminated)},
       {std::string("COM5=0000,9999") + kNoSettings}},
      {"OrvID of 260 bytes, binary",
       "0000",
       {id, name, Parameters("OrvID", REG_BINARY, unterminated)},
       {std::string("COM5=0000,9999") + kNoSettings}},
      {"OrvID longer than the buffer",
       "0000",
       {id, name, Parameters("OrvID", REG_SZ, Text(Repeat('I', 261)))},
       {std::string("COM5=0000,9999") + kNoSettings}},
      {"OrvID of 259 bytes fits",
       "0000",
       {id, name, Parameters("OrvID", REG_SZ, Text(longest))},
       {"COM5=0000,9999,0,0,0,0,0,0,0,0," + longest + ",0,0,0,0,0,0,0,0"}},
  });
}

TEST_F(EmulatorPortsTest, HardwareIdThatFillsItsBuffer) {
  const Seed name = Parameters("PortName", REG_SZ, Text("COM5"));
  const std::string line = std::string("COM5=0000,9999") + kNoSettings;
  const std::string first = Text("UMDF\\OrvikPortEmulator");
  // 260 bytes: the id in a first string that never ends within the buffer.
  const std::string unterminated = Repeat('x', 260 - 22) + "UMDF\\OrvikPortEmulator";
  // The type is never looked at; binary data comes back exactly as stored, with no NUL added.
  const Seed binaryId = Instance("HardwareID", REG_BINARY, first + Repeat('x', 260 - first.size()));
  CheckRows({
      {"a list of exactly 260 bytes",
       "0000",
       {Id(Multi({"UMDF\\OrvikPortEmulator", Repeat('x', 235)})), name},
       {line}},
      {"terminated first string, then bytes to the end", "0000", {binaryId, name}, {line}},
      {"unterminated first string", "0000", {Id(unterminated), name}, {}},
      {"unterminated first string, binary",
       "0000",
       {Instance("HardwareID", REG_BINARY, unterminated), name},
       {}},
      {"longer than the buffer",
       "0000",
       {Id(Multi({"UMDF\\OrvikPortEmulator", Repeat('x', 300)})), name},
       {}},
  });
}

// A number must be exactly 4 bytes; shorter and longer values count as missing (0).
TEST_F(EmulatorPortsTest, NumbersOfOtherSizesCountAsMissing) {
  const Seed id = Id(kEmulatorId);
  const Seed name = Parameters("PortName", REG_SZ, Text("COM5"));
  CheckRows({
      {"2 bytes",
       "0000",
       {id, name, Parameters("OrvDCD", REG_DWORD, std::string("\1\0", 2))},
       {std::string("COM5=0000,9999") + kNoSettings}},
      {"8 bytes",
       "0000",
       {id, name, Parameters("OrvQXSCMD_Option", REG_QWORD, Dword(3) + Dword(0))},
       {std::string("COM5=0000,9999") + kNoSettings}},
      {"4 bytes of any type",
       "0000",
       {id, name, Parameters("OrvDCD", REG_BINARY, Dword(3))},
       {"COM5=0000,9999,3,0,0,0,0,0,0,0,,0,0,0,0,0,0,0,0"}},
  });
}

TEST_F(EmulatorPortsTest, PortsComeInEnumerationOrder) {
  const Seed id = Id(kEmulatorId);
  SeedInstance("0003", {id, Parameters("PortName", REG_SZ, Text("COM12"))});
  SeedInstance("0001",
               {Id(Multi({"ACPI\\PNP0501"})), Parameters("PortName", REG_SZ, Text("COM1"))});
  SeedInstance("0000", {id, Parameters("PortName", REG_SZ, Text("COM5"))});
  std::vector<std::string> names;
  for (const EmulatorPortRecord& record : CollectEmulatorPorts()) names.push_back(record.portName);
  EXPECT_EQ((std::vector<std::string>{"COM5", "COM12"}), names);
}

}  // namespace
}  // namespace ports_test

// The port settings file the unpacked setup finds beside itself, written from the machine's
// registry and released before the setup starts, whole or not at all. Which devices give which
// lines is the port walks' unit table; here one USB instance and one emulated port reach the setup
// through a real run.
#include <cstdio>
#include <cstdlib>

#include "e2e_support.h"

namespace e2e {
namespace {

const char kExampleFile[] = "[PORTS]\r\n3=0,A1B2C3D4\r\n4=1,A1B2C3D4\r\n[PRTVO]\r\n"
                            "COM5=0000,0002,1,0,0,0,0,0,0,0,Printer1,-1,0,0,0,500,0,0,0\r\n";

class PortsFile : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    ASSERT_TRUE(seeds_.Begin()) << "the prefix holds USB or root port devices";
    using namespace ports_test;
    const std::string usb = UsbParameters("A1B2C3D4"), port = PortParameters("0000");
    struct Seed { std::string path; const char* name; DWORD type; std::string bytes; } seeds[] = {
        {usb, "OrvCuIndex", REG_DWORD, Dword(0)}, {usb, "OrvCOMPortForQX", REG_DWORD, Dword(3)},
        {usb, "OrvEnabledPortQX", REG_DWORD, Dword(1)}, {usb, "OrvCOMPortForKD", REG_DWORD, Dword(4)},
        {PortInstance("0000"), "HardwareID", REG_MULTI_SZ, Multi({"UMDF\\OrvikPortEmulator"})},
        {PortInstance("0000"), "Driver", REG_SZ, Text("{4d36e978-e325-11ce-bfc1-08002be10318}\\0002")},
        {port, "PortName", REG_SZ, Text("COM5")}, {port, "OrvID", REG_SZ, Text("Printer1")},
        // A setting left out is read as 0; -1 is how the file writes the largest number.
        {port, "OrvDCD", REG_DWORD, Dword(1)}, {port, "OrvReadIntervalTimeout", REG_DWORD, Dword(4294967295u)},
        {port, "OrvWriteTotalTimeoutConstant", REG_DWORD, Dword(500)},
    };
    for (const Seed& seed : seeds) SetValue(seed.path, seed.name, seed.type, seed.bytes);
    ASSERT_FALSE(HasFailure());
  }
  ports_test::PortSeeds seeds_;
};

TEST_F(PortsFile, TheSetupFindsThePortsOfTheRegistryBesideItself) {
  runner::RunReport report = Run(L"-s1");
  EXPECT_EQ(0u, report.exit_code);
  ASSERT_EQ("1", Recorded("complete")) << "the setup did not run to its end";
  ASSERT_EQ("1", Recorded("ports_present")) << "no PORTS.dat beside the setup";
  EXPECT_EQ("1", Recorded("ports_exclusive_open")) << "still open when the setup started";
  EXPECT_EQ(kExampleFile, ReadTestFile(RecordPath() + L".ports"));
  EXPECT_FALSE(Exists(WorkFolder())) << "the work folder, and the file with it, stayed";
}

// The temporary folder on a small disk that full_disk.sh mounts (a tmpfs, named in
// PORTIVO_FULL_DISK), filled up to leave a chosen number of free pages. tmpfs counts whole pages
// per file and nothing for folders, so with exactly the payload's pages free the payload fits and
// PORTS.dat does not.
class FullDisk : public PortsFile {
 protected:
  void SetUp() override {
    const char* disk = std::getenv("PORTIVO_FULL_DISK");
    if (disk == nullptr) GTEST_SKIP() << "runs from full_disk.sh";
    disk_ = runner::WideFromUtf8(disk);
    // What the install set's and the removal set's files take, in pages.
    ASSERT_EQ(2, sscanf(std::getenv("PORTIVO_FULL_DISK_PAGES"), "%lu %lu", &install_, &removal_));
    PortsFile::SetUp();
  }
  // Leaves free pages on the disk; false when there were fewer.
  bool LeaveFree(ULONGLONG pages) {
    DeleteFileW(Filler().c_str());
    ULARGE_INTEGER available = {};
    return GetDiskFreeSpaceExW(disk_.c_str(), &available, nullptr, nullptr) && available.QuadPart >= pages * 4096 &&
           WriteTestFile(Filler(), std::string(static_cast<std::size_t>(available.QuadPart - pages * 4096), '\0'));
  }
  std::wstring Filler() const { return disk_ + L"\\filler.bin"; }
  std::wstring disk_;
  unsigned long install_ = 0, removal_ = 0;
};

// Every size ends either in 1001 with nothing started and nothing left on the disk, or in a setup
// that found the whole file; both are seen, so the boundary was hit. A disk too small for the
// payload fails the install, the removal and an extraction (the whole package) alike.
TEST_F(FullDisk, TheSetupNeverStartsWithoutTheWholeFile) {
  struct Row { std::wstring arguments; ULONGLONG freePages; bool fails; } rows[] = {
      {L"-s1 ", install_, false}, {L"-s1 ", install_ + 1, false}, {L"-s1 ", install_ + 2, false},
      {L"-s1 ", install_ / 2, true}, {L"-u3 ", removal_ / 2, true}, {L"-extract:" + disk_ + L"\\package ", install_, true},
  };
  int cut = 0, whole = 0;
  for (const Row& row : rows) {
    const std::string label = Narrow(row.arguments) + " with " + std::to_string(row.freePages) + " pages free";
    ASSERT_TRUE(LeaveFree(row.freePages)) << label;
    runner::RunReport report =
        Run(row.arguments + LogSwitch(), {runner::SetEnv(L"TMP", disk_), runner::SetEnv(L"TEMP", disk_)});
    if (report.exit_code == 1001) {
      ++cut;
      EXPECT_EQ(row.fails ? "exit code 1001: a payload file could not be written whole"
                          : "exit code 1001: PORTS.dat could not be written whole; the setup was not started",
                LastLogLine()) << label;
      EXPECT_TRUE(SetupRecord().empty()) << label << ": the setup ran";
      EXPECT_TRUE(RemovalLog().empty()) << label << ": the removal programs ran";
    } else {
      ++whole;
      EXPECT_FALSE(row.fails) << label;
      EXPECT_EQ(0u, report.exit_code) << label;
      EXPECT_EQ(kExampleFile, ReadTestFile(RecordPath() + L".ports")) << label;
    }
    EXPECT_EQ(std::vector<std::wstring>{L"filler.bin"}, ListTree(disk_)) << label << ": left on the disk";
  }
  EXPECT_GT(cut, 2) << "no size was too small for PORTS.dat alone";
  EXPECT_GT(whole, 0) << "no size let the setup start";
  DeleteFileW(Filler().c_str());
}

}  // namespace
}  // namespace e2e

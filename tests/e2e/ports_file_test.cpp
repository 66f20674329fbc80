// The port settings file the unpacked setup finds beside itself: what a run leaves for the setup
// to read, from the registry of the machine, and when a run leaves none.
#include "e2e_support.h"

#include <cstdint>
#include <utility>

#include "ports/port_registry_seed.h"

namespace e2e {
namespace {

// The unit tests' seeding of the USB device key and the root ports key, driven by the fixture
// below: it refuses a prefix that already holds such devices and removes what it seeded.
class PortSeeds : public ports_test::PortRegistryTest {
 public:
  using PortRegistryTest::PortInstance, PortRegistryTest::PortParameters, PortRegistryTest::RemoveSeeds,
      PortRegistryTest::SetNumber, PortRegistryTest::SetUp, PortRegistryTest::SetValue,
      PortRegistryTest::TearDown, PortRegistryTest::UsbParameters;

 private:
  void TestBody() override {}
};


const char kHeadersOnly[] = "[PORTS]\r\n[PRTVO]\r\n";
const char kWorkedExample[] =
    "[PORTS]\r\n"
    "3=0,A1B2C3D4\r\n"
    "4=1,A1B2C3D4\r\n"
    "[PRTVO]\r\n"
    "COM5=0000,0002,1,1,1,0,1,0,0,0,Printer1,-1,0,0,0,500,10,0,0\r\n"
    "COM12=0003,9999,0,0,0,0,0,0,0,0,,0,0,0,0,0,0,0,0\r\n";

class PortsFile : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    if (HasFatalFailure()) return;
    seeds_.SetUp();
    seeding_ = !HasFatalFailure();
  }
  void TearDown() override {
    // The seeding's tear-down removes the two containers whole, so it runs only when set-up found
    // them free of the prefix's own devices.
    if (seeding_) seeds_.TearDown();
    InstallerTest::TearDown();
  }

  // Two USB instances, of which only the first has an enabled port, and three root port
  // devices, of which the second belongs to another driver and the third has only its name.
  void SeedWorkedExample() {
    using ports_test::Dword;
    using ports_test::Text;
    const std::string a = PortSeeds::UsbParameters("A1B2C3D4"), z = PortSeeds::UsbParameters("Z9");
    const std::string p0 = PortSeeds::PortParameters("0000");
    const std::string portClass = "{4d36e978-e325-11ce-bfc1-08002be10318}\\";
    struct Seed { std::string path; const char* name; DWORD type; std::string bytes; } seeds[] = {
        {a, "OrvCuIndex", REG_DWORD, Dword(0)}, {a, "OrvCOMPortForQX", REG_DWORD, Dword(3)},
        {a, "OrvEnabledPortQX", REG_DWORD, Dword(1)}, {a, "OrvCOMPortForKD", REG_DWORD, Dword(4)},
        {z, "OrvCuIndex", REG_DWORD, Dword(1)}, {z, "OrvCOMPortForQX", REG_DWORD, Dword(7)},
        {z, "OrvEnabledPortQX", REG_DWORD, Dword(0)},
        {PortSeeds::PortInstance("0000"), "HardwareID", REG_MULTI_SZ, ports_test::Multi({"UMDF\\OrvikPortEmulator"})},
        {PortSeeds::PortInstance("0000"), "Driver", REG_SZ, Text(portClass + "0002")},
        {p0, "PortName", REG_SZ, Text("COM5")}, {p0, "OrvID", REG_SZ, Text("Printer1")},
        {PortSeeds::PortInstance("0001"), "HardwareID", REG_MULTI_SZ, ports_test::Multi({"ACPI\\PNP0501"})},
        {PortSeeds::PortInstance("0001"), "Driver", REG_SZ, Text(portClass + "0000")},
        {PortSeeds::PortParameters("0001"), "PortName", REG_SZ, Text("COM1")},
        {PortSeeds::PortInstance("0003"), "HardwareID", REG_MULTI_SZ, ports_test::Multi({"umdf\\orvikportemulator"})},
        {PortSeeds::PortParameters("0003"), "PortName", REG_SZ, Text("COM12")},
    };
    for (const Seed& seed : seeds) seeds_.SetValue(seed.path, seed.name, seed.type, seed.bytes);
    const std::pair<const char*, std::uint32_t> settings[] = {
        {"OrvDCD", 1}, {"OrvDSR", 1}, {"OrvCTS", 1}, {"OrvRI", 0}, {"OrvQX", 1}, {"OrvKD", 0}, {"OrvPH", 0},
        {"OrvAsync", 0}, {"OrvReadIntervalTimeout", 4294967295u}, {"OrvReadTotalTimeoutMultiplier", 0},
        {"OrvReadTotalTimeoutConstant", 0}, {"OrvWriteTotalTimeoutMultiplier", 0},
        {"OrvWriteTotalTimeoutConstant", 500}, {"OrvQXSCMD_UnlockTimer", 10}, {"OrvQXSCMD_Mode", 0},
        {"OrvQXSCMD_Option", 0},
    };
    for (const auto& setting : settings) seeds_.SetNumber(p0, setting.first, setting.second);
  }

  // What the setup found beside itself when it started: present, no longer held open by the
  // installer, and these bytes. Fails the case with the reason otherwise.
  void ExpectSetupFound(const std::string& expected, const std::string& what) {
    ASSERT_EQ("1", Recorded("complete")) << what << ": the setup did not run to its end";
    ASSERT_EQ("1", Recorded("ports_present")) << what << ": no PORTS.dat beside the setup";
    EXPECT_EQ("1", Recorded("ports_exclusive_open")) << what << ": still open when the setup started";
    EXPECT_EQ(std::to_string(expected.size()), Recorded("ports_size")) << what;
    EXPECT_EQ(expected, ReadTestFile(RecordPath() + L".ports")) << what;
  }

  // Runs the probe installer and looks into the work folder every few milliseconds while it runs, for
  // a file that lives only as long as the folder does.
  struct Sightings {
    bool workFolder = false;     // the folder with `marker` in it
    bool portsFile = false;
  };
  runner::RunReport RunWatching(const std::wstring& arguments, const std::wstring& marker,
                                Sightings* seen) {
    runner::RunOptions options;
    options.exe_path = PORTIVO_PROBE_INSTALLER;
    options.arguments = arguments;
    options.env = {runner::SetEnv(L"PROBE_RECORD", RecordPath()),
                   runner::SetEnv(L"PROBE_REMOVAL_RECORD", RemovalLogPath())};
    runner::RunningInstaller running;
    EXPECT_EQ(runner::kRunnerOk, runner::StartInstaller(options, &running));
    const DWORD start = GetTickCount();
    int status = runner::kRunnerStillRunning;
    while (status == runner::kRunnerStillRunning && GetTickCount() - start < 120000) {
      if (Exists(WorkFolder() + marker)) seen->workFolder = true;
      if (Exists(WorkFolder() + L"PORTS.dat")) seen->portsFile = true;
      status = runner::WatchInstaller(&running, 0);
    }
    runner::StopInstaller(&running);
    EXPECT_EQ(runner::kRunnerOk, status) << "the installer did not run to its end";
    return running.report;
  }

  PortSeeds seeds_;
  bool seeding_ = false;
};

TEST_F(PortsFile, InstallRunsHandTheSetupTheWorkedExampleFromTheRegistry) {
  SeedWorkedExample();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(157u, sizeof kWorkedExample - 1);
  for (const wchar_t* arguments : {L"-s1", L"", L"-u1"}) {
    const std::string what = "arguments \"" + Narrow(arguments) + "\"";
    runner::RunReport report = Run(arguments);
    EXPECT_EQ(0u, report.exit_code) << what;
    EXPECT_TRUE(report.boxes.empty()) << what;
    ExpectSetupFound(kWorkedExample, what);
    EXPECT_FALSE(Exists(WorkFolder())) << what << ": the work folder, and the file with it, stayed";
  }
}

TEST_F(PortsFile, WithoutTheDeviceKeysTheSetupFindsTheTwoHeadersOnly) {
  runner::RunReport report = Run(L"-s1");
  EXPECT_EQ(0u, report.exit_code);
  ExpectSetupFound(std::string(kHeadersOnly, 18), "no device keys");
}

TEST_F(PortsFile, AFileLeftByAnEarlierRunIsReplacedEntirely) {
  struct Row {
    const char* what;
    bool seedWorkedExample;
    std::string left;
    std::string expected;
  } rows[] = {
      {"longer leftover, no devices", false,
       "[PORTS]\r\n9=0,OLDINSTANCE\r\n[PRTVO]\r\n" + std::string(600, 'x') + "\r\n", kHeadersOnly},
      {"longer leftover, worked example", true,
       std::string(kWorkedExample) + "COM9=0009,0001,0,0,0,0,0,0,0,0,,0,0,0,0,0,0,0,0\r\n" +
           std::string(300, '\0'),
       kWorkedExample},
  };
  for (const Row& row : rows) {
    seeds_.RemoveSeeds();
    DeleteFolderTree(WorkFolder().c_str());
    if (row.seedWorkedExample) SeedWorkedExample();
    ASSERT_FALSE(HasFatalFailure()) << row.what;
    ASSERT_TRUE(CreateDirectoryW(WorkFolder().c_str(), nullptr)) << row.what;
    ASSERT_TRUE(WriteTestFile(WorkFolder() + L"PORTS.dat", row.left)) << row.what;

    runner::RunReport report = Run(L"-s1");
    EXPECT_EQ(0u, report.exit_code) << row.what;
    ExpectSetupFound(row.expected, row.what);
    EXPECT_FALSE(Exists(WorkFolder())) << row.what;
  }
}

// The removal run is not seen by the setup probe, and it deletes its work folder, so the folder
// is watched while the run lasts. The install run shows that the watch sees the file at all. (A
// removal run that stops early leaves only its removal files: the removal cases list them.)
TEST_F(PortsFile, TheRemovalRunWritesNone) {
  SeedWorkedExample();
  ASSERT_FALSE(HasFatalFailure());

  Sightings install;
  runner::RunReport installReport = RunWatching(L"-s1", L"setup.exe", &install);
  EXPECT_EQ(0u, installReport.exit_code);
  EXPECT_TRUE(install.workFolder && install.portsFile) << "the watch does not see the file";

  Sightings removal;
  runner::RunReport removalReport = RunWatching(L"-u3", L"QXCOMUSBCLN.dll", &removal);
  EXPECT_EQ(0u, removalReport.exit_code);
  EXPECT_TRUE(removal.workFolder) << "the removal set was never seen in the work folder";
  EXPECT_FALSE(removal.portsFile);
  EXPECT_FALSE(Exists(WorkFolder()));
}

}  // namespace
}  // namespace e2e

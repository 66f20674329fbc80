// The port settings file the unpacked setup finds beside itself, written from the machine's
// registry and released before the setup starts. Which devices give which lines is the port walks'
// unit table; here one USB instance and one emulated port reach the setup through a real run.
#include "e2e_support.h"

#include <cstdint>
#include <utility>

#include "ports/port_registry_seed.h"

namespace e2e {
namespace {

// The unit tests' seeding of the USB device key and the root ports key: it refuses a prefix that
// already holds such devices and removes what it seeded.
class PortSeeds : public ports_test::PortRegistryTest {
 public:
  using PortRegistryTest::PortInstance, PortRegistryTest::PortParameters, PortRegistryTest::SetNumber,
      PortRegistryTest::SetUp, PortRegistryTest::SetValue, PortRegistryTest::TearDown,
      PortRegistryTest::UsbParameters;

 private:
  void TestBody() override {}
};

class PortsFile : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    if (HasFatalFailure()) return;
    seeds_.SetUp();
    seeding_ = !HasFatalFailure();
  }
  void TearDown() override {
    // The seeding's tear-down removes the two containers whole, so only when set-up found them free.
    if (seeding_) seeds_.TearDown();
    InstallerTest::TearDown();
  }
  PortSeeds seeds_;
  bool seeding_ = false;
};

TEST_F(PortsFile, TheSetupFindsThePortsOfTheRegistryBesideItself) {
  ASSERT_TRUE(seeding_);
  const std::string usb = PortSeeds::UsbParameters("A1B2C3D4"), port = PortSeeds::PortParameters("0000");
  using ports_test::Dword;
  using ports_test::Text;
  struct Seed { std::string path; const char* name; DWORD type; std::string bytes; } seeds[] = {
      {usb, "OrvCuIndex", REG_DWORD, Dword(0)}, {usb, "OrvCOMPortForQX", REG_DWORD, Dword(3)},
      {usb, "OrvEnabledPortQX", REG_DWORD, Dword(1)}, {usb, "OrvCOMPortForKD", REG_DWORD, Dword(4)},
      {PortSeeds::PortInstance("0000"), "HardwareID", REG_MULTI_SZ, ports_test::Multi({"UMDF\\OrvikPortEmulator"})},
      {PortSeeds::PortInstance("0000"), "Driver", REG_SZ, Text("{4d36e978-e325-11ce-bfc1-08002be10318}\\0002")},
      {port, "PortName", REG_SZ, Text("COM5")}, {port, "OrvID", REG_SZ, Text("Printer1")},
  };
  for (const Seed& seed : seeds) seeds_.SetValue(seed.path, seed.name, seed.type, seed.bytes);
  // A setting left out is read as 0; -1 is how the file writes the largest number.
  const std::pair<const char*, std::uint32_t> settings[] = {
      {"OrvDCD", 1}, {"OrvReadIntervalTimeout", 4294967295u}, {"OrvWriteTotalTimeoutConstant", 500}};
  for (const auto& setting : settings) seeds_.SetNumber(port, setting.first, setting.second);
  ASSERT_FALSE(HasFatalFailure());

  runner::RunReport report = Run(L"-s1");
  EXPECT_EQ(0u, report.exit_code);
  ASSERT_EQ("1", Recorded("complete")) << "the setup did not run to its end";
  ASSERT_EQ("1", Recorded("ports_present")) << "no PORTS.dat beside the setup";
  EXPECT_EQ("1", Recorded("ports_exclusive_open")) << "still open when the setup started";
  EXPECT_EQ("[PORTS]\r\n3=0,A1B2C3D4\r\n4=1,A1B2C3D4\r\n[PRTVO]\r\n"
            "COM5=0000,0002,1,0,0,0,0,0,0,0,Printer1,-1,0,0,0,500,0,0,0\r\n",
            ReadTestFile(RecordPath() + L".ports"));
  EXPECT_FALSE(Exists(WorkFolder())) << "the work folder, and the file with it, stayed";
}

}  // namespace
}  // namespace e2e

// The port settings file the unpacked setup finds beside itself, written from the machine's
// registry and released before the setup starts. Which devices give which lines is the port walks'
// unit table; here one USB instance and one emulated port reach the setup through a real run.
#include "e2e_support.h"

namespace e2e {
namespace {

class PortsFile : public InstallerTest {
 protected:
  void SetUp() override {
    InstallerTest::SetUp();
    ASSERT_TRUE(seeds_.Begin()) << "the prefix holds USB or root port devices";
  }
  ports_test::PortSeeds seeds_;
};

TEST_F(PortsFile, TheSetupFindsThePortsOfTheRegistryBesideItself) {
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
  for (const Seed& seed : seeds) ports_test::SetValue(seed.path, seed.name, seed.type, seed.bytes);
  ASSERT_FALSE(HasFailure());

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

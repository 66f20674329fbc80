#include "ports/usb_ports.h"

#include <gtest/gtest.h>

#include "test_registry.h"

namespace ports_test {
namespace {

TEST(UsbFunctionYieldsPort, PortsOneToFortyUnlessSwitchedOff) {
  struct Row { bool portRead; std::uint32_t port; bool enabledRead; std::uint32_t enabled; bool yields; } rows[] = {
      {true, 1, false, 0, true},  {true, 40, false, 0, true}, {true, 0, false, 0, false},
      {true, 41, false, 0, false}, {false, 3, false, 0, false},
      {true, 3, true, 1, true},   {true, 3, true, 0, false},  {true, 3, true, 2, false},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.yields, UsbFunctionYieldsPort({r.portRead, r.port, r.enabledRead, r.enabled}))
        << r.port << (r.enabledRead ? " enabled " : " ") << r.enabled;
  }
}

class UsbPortsWalk : public PortRegistryTest {};

// The instances in enumeration order, QX before KD; only 4-byte numbers count.
TEST_F(UsbPortsWalk, ReadsEachInstancesFunctionsInOrder) {
  SetNumber(UsbParameters("A1"), "OrvCuIndex", 0);
  SetNumber(UsbParameters("A1"), "OrvCOMPortForQX", 3);
  SetNumber(UsbParameters("A1"), "OrvCOMPortForKD", 4);
  SetNumber(UsbParameters("B2"), "OrvCuIndex", 1);
  SetValue(UsbParameters("B2"), "OrvCOMPortForQX", REG_DWORD, std::string("\5\0", 2));
  SetNumber(UsbParameters("B2"), "OrvCOMPortForKD", 6);
  SetValue(UsbParameters("C3"), "OrvCuIndex", REG_DWORD, std::string("\0\0", 2));
  SetNumber(UsbParameters("C3"), "OrvCOMPortForQX", 7);
  SetValue(std::string(kUsbDeviceKey) + "\\D4", nullptr, 0, "");  // no "Device Parameters"
  std::vector<std::string> seen;
  ForEachUsbPortAssignment([](const UsbPortAssignment& r, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(
        std::to_string(r.portNumber) + "/" + std::to_string(r.portRole) + "/" + r.instanceName);
  }, &seen);
  EXPECT_EQ((std::vector<std::string>{"3/0/A1", "4/1/A1", "6/1/B2"}), seen);
}

}  // namespace
}  // namespace ports_test

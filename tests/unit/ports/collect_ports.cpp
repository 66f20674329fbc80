// The walks' records gathered into vectors for the unit tests (the end-to-end tests link the
// seeding without the walks).
#include "port_registry_seed.h"

namespace ports_test {

std::vector<UsbRecord> CollectUsbPortAssignments() {
  std::vector<UsbRecord> records;
  ForEachUsbPortAssignment([](const UsbPortAssignment& r, void* context) {
    static_cast<std::vector<UsbRecord>*>(context)->push_back({r.portNumber, r.portRole, r.instanceName});
  }, &records);
  return records;
}

std::vector<EmulatorPortRecord> CollectEmulatorPorts() {
  std::vector<EmulatorPortRecord> records;
  ForEachEmulatorPort([](const EmulatorPortRecord& r, void* context) {
    static_cast<std::vector<EmulatorPortRecord>*>(context)->push_back(r);
  }, &records);
  return records;
}

}  // namespace ports_test

// What the test connector library exports for tests: the count of each slot the framework
// called, a reset, and its registration.
#ifndef VY_TEST_CONNECTOR_CONTROL_HPP
#define VY_TEST_CONNECTOR_CONTROL_HPP

extern "C" int vyTestConnectorCalls(int slot);
extern "C" void vyTestConnectorReset();
extern "C" void vyTestConnectorRegister();

namespace vytest {
enum ConnectorSlot { kInit, kPoll, kTerminate, kVersion, kSuspend, kResume, kVerb, kHandler };
}  // namespace vytest

#endif  // VY_TEST_CONNECTOR_CONTROL_HPP

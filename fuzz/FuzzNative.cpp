#include "FuzzNative.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BusObjSpecDirectory.hpp"
#include "FuzzSpecs.hpp"
#include "JToCPPVeneer.hpp"
#include "KyVersion.hpp"
#include "NativeAgentPort.hpp"
#include "StringMessage.hpp"
#include "SubscriptionHandlerCPP.hpp"

namespace vyfuzz {
namespace {

bool gStarted = false;

[[noreturn]] void die(const char* what) {
  std::fprintf(stderr, "fuzz harness: %s\n", what);
  std::abort();
}

}  // namespace

void FuzzNative::start() {
  if (gStarted) return;
  gStarted = true;
  // Records kept past an input would look to the fuzzer's leak check like a leak of that input
  // (and make it scan the heap after every input).
  vy::NativeAgentPort::instance().setRecording(false);
  JToCPPVeneer* veneer = new JToCPPVeneer(new SubscriptionHandlerCPP(), nullptr, nullptr);
  KyVersion version(const_cast<char*>("4.1.0"));
  if (veneer->init(&version) != 0) die("the fuzz connector did not start");
  for (const std::u16string& spec : FuzzSpecs::all()) {
    // The native text of the announced spec, as n_gotBusObjSpec hands it on.
    StringMessage msg(reinterpret_cast<const unsigned short*>(spec.c_str()));
    char* native = msg.toString();
    if (native == nullptr) die("a fixed spec has no native text");
    std::string text = native;
    veneer->newBusObjSpec(&text[0]);
  }
  for (const char* name : {"Item", "Node", "Order"})
    if (BusObjSpecDirectory::theBusObjSpecDirectory.find(name) == nullptr)
      die("a fixed spec was not filed");
  clearRecords();
}

void FuzzNative::initialize(int*, char***) { start(); }

void FuzzNative::clearRecords() {
  vy::NativeAgentPort::instance().clearRecords();
  vy::NativeAgentPort::instance().clearProperties();
}

}  // namespace vyfuzz

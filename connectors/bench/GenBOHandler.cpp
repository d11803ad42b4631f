#include "GenBOHandler.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "BusinessObject.hpp"
#include "GenGenGlob.hpp"
#include "GlobDecls.hpp"

namespace {

// The C library's rand() shares one state between threads; each thread gets its own generator,
// seeded from the clock and the thread's identity so that threads draw different sequences.
int drawPercent() {
  thread_local std::minstd_rand generator([] {
    auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    auto self = std::hash<std::thread::id>()(std::this_thread::get_id());
    std::seed_seq seed{static_cast<unsigned>(now), static_cast<unsigned>(now >> 32),
                       static_cast<unsigned>(self), static_cast<unsigned>(self >> 32)};
    std::minstd_rand g;
    g.seed(seed);
    return g;
  }());
  return static_cast<int>(generator() % 100);
}

// A property value as a decimal number; false when absent, empty or not a number.
bool readNumber(GenBOHandler& handler, const char* name, long* out) {
  char value[20];
  std::memset(value, 0, sizeof value);
  handler.getConfigProp(name, value, sizeof value);
  value[sizeof value - 1] = '\0';
  if (value[0] == '\0') return false;
  char* end = nullptr;
  long n = std::strtol(value, &end, 10);
  if (end == value) return false;
  *out = n;
  return true;
}

void readConfiguration(GenBOHandler& handler) {
  long n;
  if (readNumber(handler, "ConsumeSuccessRate", &n)) consumeSuccess = static_cast<double>(n);
  if (readNumber(handler, "AppResponseInMSecs", &n)) {
    appResponseTime = n > 1000000000L ? 1000000000 : (n < 0 ? 0 : static_cast<int>(n));
  }
}

bool succeeds() { return random_value < consumeSuccess; }

}  // namespace

GenBOHandler::GenBOHandler() { std::srand(static_cast<unsigned>(std::time(nullptr))); }

GenBOHandler::~GenBOHandler() = default;

int GenBOHandler::doVerbFor(BusinessObject& bo, ReturnStatusDescriptor*) {
  std::call_once(configured, readConfiguration, std::ref(*this));

  const char* verb = bo.getVerb() != nullptr ? bo.getVerb() : "null";
  const int count = verbCount.fetch_add(1, std::memory_order_relaxed) + 1;
  const char* name = bo.getName() != nullptr ? bo.getName() : "null";
  // Built at the length it needs: names and verbs of any length fit.
  const char* format = "\ndoVerbFor on BOHandler named %s for verb %s, Count = %d";
  int length = std::snprintf(nullptr, 0, format, name, verb, count);
  if (length > 0) {
    std::string line(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(&line[0], line.size(), format, name, verb, count);
    line.resize(static_cast<size_t>(length));
    myGlob.logMsg(line.c_str());
  }

  random_value = drawPercent();
  if (appResponseTime > 0) std::this_thread::sleep_for(std::chrono::milliseconds(appResponseTime));

  if (std::strcmp(verb, "Retrieve") == 0) return doRetrieve(bo);
  if (std::strcmp(verb, "Update") == 0) return doUpdate(bo);
  if (std::strcmp(verb, "Create") == 0) return doCreate(bo);
  return -1;
}

int GenBOHandler::doCreate(BusinessObject& bo) {
  if (!succeeds()) return -1;
  bo.updateRandomizedKeyValues();
  return 1;
}

int GenBOHandler::doRetrieve(BusinessObject&) { return succeeds() ? 0 : -1; }

int GenBOHandler::doUpdate(BusinessObject&) { return succeeds() ? 1 : -1; }

int GenBOHandler::doDelete(BusinessObject&) { return succeeds() ? 0 : -1; }

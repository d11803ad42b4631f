#include "GenGenGlob.hpp"

#include <cstdlib>
#include <ctime>

#include "GenBOHandler.hpp"
#include "GlobDecls.hpp"
#include "KyMsgFormat.hpp"
#include "Tracing.hpp"

namespace {
char versionText[] = "3.0.1";
}  // namespace

// The C library's generator gives created objects their new key values; seeding it from the
// clock makes each run's keys differ.
GenGenGlob::GenGenGlob() : pendList(HashTbl::DEFAULT_SIZE) {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
}

GenGenGlob::~GenGenGlob() = default;

BOHandlerCPP* GenGenGlob::getBOHandlerforBO(char*) {
  // Built on first use, thread-safely, and never destroyed: specs keep pointing at it.
  static GenBOHandler* const handler = new GenBOHandler();
  return handler;
}

int GenGenGlob::init(KyVersion*) {
  char name[512] = "";
  getConfigProp("ConnectorName", name, sizeof name);
  if (char* msg = generateMsg(28, KyMsgFormat::MLV_INFO, nullptr, 1, name)) {
    logMsg(msg, KyMsgFormat::MLV_INFO);
    freeMemory(msg);
  }
  traceWrite(Tracing::LEVEL3, name, nullptr);
  return 0;
}

int GenGenGlob::pollForEvents() { return 0; }

int GenGenGlob::terminate() { return 0; }

char* GenGenGlob::getVersion() { return versionText; }

void GenGenGlob::addPendList(PendingEvent* event) {
  if (event == nullptr) return;
  std::lock_guard<std::mutex> guard(pendLock);
  pendList.add(event);
}

void GenGenGlob::removePendList(PendingEvent* event) {
  std::lock_guard<std::mutex> guard(pendLock);
  pendList.remove(event);
}

unsigned int GenGenGlob::pendingCount() {
  std::lock_guard<std::mutex> guard(pendLock);
  return pendList.size();
}

bool GenGenGlob::isPending(PendingEvent* event) {
  std::lock_guard<std::mutex> guard(pendLock);
  return event != nullptr && pendList.isPresent(event) != 0;
}

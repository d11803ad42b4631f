#include "Tracing.hpp"

#include <cstdlib>
#include <cstring>
#include <string>

#include "AgentPort.hpp"
#include "KyMsgFormat.hpp"
#include "TextCopy.hpp"

const int Tracing::LEVEL0 = 0;
const int Tracing::LEVEL1 = 1;
const int Tracing::LEVEL2 = 2;
const int Tracing::LEVEL3 = 3;
const int Tracing::LEVEL4 = 4;
const int Tracing::LEVEL5 = 5;
const char* const Tracing::TRACELEVEL = "AgentTraceLevel";
char* Tracing::indent = nullptr;

Tracing::Tracing(const char* n) : name(vy::copyText(n)), traceLevel(0) {
  if (n != nullptr) readLevelFromAgent();
}

Tracing::~Tracing() { std::free(name); }

void Tracing::readLevelFromAgent() {
  long level = LEVEL0;
  char value[512];
  if (vy::agentPort().configProp(TRACELEVEL, value, sizeof value) > 0) level = std::atol(value);
  std::string text = std::to_string(static_cast<int>(level));
  std::free(vy::agentPort().formatMsg(80404, KyMsgFormat::MLV_TRACE, nullptr, 1, 1, text.c_str()));
  setTraceLevel(static_cast<int>(level));
}

void Tracing::setName(char* newName) {
  if (newName == name) return;
  std::free(name);
  name = newName;
}

void Tracing::setTraceLevel(int level) {
  traceLevel.store(level, std::memory_order_relaxed);
  std::string text = std::to_string(level) + "," + std::to_string(level);
  std::free(vy::agentPort().formatMsg(80405, KyMsgFormat::MLV_TRACE, nullptr, 1, 2, text.c_str()));
}

void Tracing::write(int level, const char* msg) { write(level, msg, nullptr); }

void Tracing::write(int level, const char* msg, const char* text2) {
  if (level >= 0 && level <= getTraceLevel())
    vy::agentPort().trace(name, level, indent, msg, text2);
}

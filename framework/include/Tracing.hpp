// A component's name and trace level: decides which trace lines reach the agent.
//
// A line is written when 0 <= its level <= the current level. The framework's own traces test
// for a level above LEVEL0 before building any line, so with tracing off no line is even built.
// Ownership: the object owns its name (freed with free()). Threads: the level may be read from
// any thread; it is changed by the agent through n_setTraceLevel.
#ifndef VY_TRACING_HPP
#define VY_TRACING_HPP

#include <atomic>

#include "VyExport.hpp"

class VY_EXPORT Tracing {
 public:
  static const int LEVEL0;
  static const int LEVEL1;
  static const int LEVEL2;
  static const int LEVEL3;
  static const int LEVEL4;
  static const int LEVEL5;
  static const char* const TRACELEVEL;  // "AgentTraceLevel"

  // Copies `name`. With a name, reads the initial level from "AgentTraceLevel" and tells the
  // agent (messages 80404 and 80405); with null, asks the agent nothing and stays at level 0.
  explicit Tracing(const char* name);
  ~Tracing();
  Tracing(const Tracing&) = delete;
  Tracing& operator=(const Tracing&) = delete;

  void write(int level, const char* msg);
  void write(int level, const char* msg, const char* text2);

  const char* getName() const { return name; }
  // Takes ownership of `newName` (a malloc'd text); the previous name is freed.
  void setName(char* newName);
  int getTraceLevel() const { return traceLevel.load(std::memory_order_relaxed); }
  // Stores the level and tells the agent (message 80405 with "level,level").
  void setTraceLevel(int level);
  // True when a line of `level` would be written.
  bool isTracing(int level) const { return level >= 0 && level <= getTraceLevel(); }

  static const char* getIndent() { return indent; }
  static void setIndent(char* text) { indent = text; }

  // Reads "AgentTraceLevel" through the current veneer and applies it as the constructor does.
  void readLevelFromAgent();

 private:
  char* name;
  std::atomic<int> traceLevel;
  static char* indent;
};

#endif  // VY_TRACING_HPP

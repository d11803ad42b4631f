// One measured flow of the performance monitor: accumulated time and count of an operation,
// named by two texts (the connector's name and the operation).
//
// Text form (toString): "first~second~average~", average = total / count (0 when count is 0).
// Ownership: the creator owns the flow (KyPerfUtil::createPerfFlow hands it over); a flow must
// outlive its presence in the registry (until the next KyPerfUtil::getAllFlows).
// Threads: a flow's total and count are changed and read only under the registry's lock
// (KyPerfUtil::update, toString), so a report may run while other threads update; IDs are handed
// out atomically. start and stop belong to the one measurement in progress.
// EMPTY_STRING is safe to read once the library is loaded; the kit itself never reads it while
// static objects are being built.
#ifndef VY_KY_PERF_FLOW_HPP
#define VY_KY_PERF_FLOW_HPP

#include <mutex>

#include "String.hpp"
#include "VyExport.hpp"

class VY_EXPORT KyPerfFlow {
 public:
  static const char DEFAULT_SEPARATOR;  // '~'
  static int HASH_COUNTER;
  static int objectVersion;
  static const String EMPTY_STRING;

  KyPerfFlow();
  void init(const String first, const String second);
  // Empty names, a new ID, start and stop -1, total and count 0.
  void clear();
  int getID() const { return ID; }
  // Writes the text (at most size - 2 characters and the terminator); returns its full length.
  int toString(char* buffer, int size) const;

  const String& getFirstName() const { return firstName; }
  const String& getSecondName() const { return secondName; }
  int getTotal() const { return total; }
  int getCount() const { return count; }

  int start;
  int stop;
  int total;
  int count;

 private:
  friend class KyPerfUtil;
  // The registry's lock, built on first use (safe from other libraries' static constructors).
  static std::mutex& registryLock();

  String firstName;
  String secondName;
  int ID;
};

#endif  // VY_KY_PERF_FLOW_HPP

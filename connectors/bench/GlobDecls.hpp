// The library-wide state of the benchmark connector: its one globals object and the settings and
// counters every handler call shares.
//
// Threads: several agent threads run verbs at once. The settings are written once, inside the
// first verb's std::call_once, and only read afterwards; the verb count is atomic; each thread
// draws its random values from a generator of its own.
#ifndef VY_BENCH_GLOB_DECLS_HPP
#define VY_BENCH_GLOB_DECLS_HPP

#include <atomic>
#include <mutex>

class GenGenGlob;

// The connector's globals; built at library load, which registers it with the framework.
extern GenGenGlob myGlob;

// Percentage of verbs that succeed: a verb succeeds when its random value (0 to 99) is below it.
// 0 until "ConsumeSuccessRate" says otherwise, so without the property every verb fails.
extern double consumeSuccess;
// Milliseconds to wait before each verb ("AppResponseInMSecs"); 0 or less: no wait.
extern int appResponseTime;
// The last random value (0 to 99) drawn by the calling thread.
extern thread_local int random_value;
// The two properties are read once, by the first verb.
extern std::once_flag configured;
// doVerbFor calls so far, over every type and thread.
extern std::atomic<int> verbCount;

#endif  // VY_BENCH_GLOB_DECLS_HPP

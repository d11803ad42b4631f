// Start-up shared by the benchmark programs that embed a JVM, most of them with a running agent: an
// embedded JVM with the agent jar on its class path, the kit loaded through the agent class and
// initialised with n_init, as the harness does before any connector call.
//
// The agent jar is found at $VY_AGENT_JAR or at ../java/vyagent.jar beside the executable's
// folder. Everything here is meant for a program's main thread, before the benchmarks run.
#ifndef VY_BENCH_SUPPORT_BENCHAGENT_HPP
#define VY_BENCH_SUPPORT_BENCHAGENT_HPP

#include <jni.h>

#include <string>
#include <vector>

namespace vybench {

// The folder holding the running executable, or "." when it cannot be read.
std::string exeDir();

// The value of the environment variable `name`, or `fallback` when it is unset or empty.
std::string envOr(const char* name, const std::string& fallback);

// Creates the process's JVM with the given options (e.g. "-Djava.class.path=..."). Returns the
// main thread's environment, or nullptr with `*why` set to a one-line reason. Only one JVM can
// be created per process; it lives until the process ends.
JNIEnv* createJvm(const std::vector<std::string>& options, std::string* why);

// Creates the JVM and starts an agent in it. Returns the main thread's environment, or nullptr
// with `*why` set to a one-line reason (any pending Java exception has then been described on
// stderr). The JVM and the agent object live until the process ends.
JNIEnv* startJvmAndAgent(std::string* why);

// For a start-up that failed: prints `why` on stderr and gives main's exit code for it (2).
int startFailed(const std::string& why);

// Runs the benchmarks the command line chooses, once the program has started what they need, and
// gives main's exit code (1 for an argument the benchmark library does not know).
int runBenchmarks(int argc, char** argv);

}  // namespace vybench

#endif  // VY_BENCH_SUPPORT_BENCHAGENT_HPP

// The reference data of the micro benchmarks (bench/data): the three reference types filed in
// the spec directory and the reference order's wire text. Needs a running agent
// (startJvmAndAgent) because reading wire text asks the agent for the native encoding.
#ifndef VY_BENCH_SUPPORT_REFERENCEDATA_HPP
#define VY_BENCH_SUPPORT_REFERENCEDATA_HPP

#include <string>
#include <vector>

namespace vybench {

// Files RefOrderLine, RefContact and RefOrder from $VY_BENCH_DATA (or ../../bench/data beside
// the executable's folder) and gives the reference order's wire text as UTF-16 units,
// zero-terminated (the files are ASCII). False, with `*why` set, when the data is missing or
// does not read.
bool loadReference(std::vector<unsigned short>* orderUnits, std::string* why);

}  // namespace vybench

#endif  // VY_BENCH_SUPPORT_REFERENCEDATA_HPP

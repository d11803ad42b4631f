// Business objects on the request path: tokenizing the reference order's wire text (about 3.6 KB:
// 30 simple attributes and two containers of 10 children each), reading the tree from the
// tokens, and writing it back; plus a clone and a delta merge of the same tree.
//
// The kit asks the agent for the native encoding, so the program runs a real agent object:
// the agent jar is found at $VY_AGENT_JAR or at ../java/vyagent.jar beside the executable's
// folder, the reference data at $VY_BENCH_DATA or at ../../bench/data.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "BOAttrType.hpp"
#include "BenchAgent.hpp"
#include "BusObjContainer.hpp"
#include "BusinessObject.hpp"
#include "ReferenceData.hpp"
#include "StringMessage.hpp"

namespace {

// The reference order's wire text as UTF-16 units, zero-terminated (the files are ASCII).
std::vector<unsigned short> gOrderUnits;

int64_t orderBytes() { return static_cast<int64_t>(gOrderUnits.size() - 1) * 2; }

void report(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() * orderBytes());
  state.SetItemsProcessed(state.iterations());
}

// Splitting the UTF-16 text into native tokens: the floor of reading.
void TokenizeReference(benchmark::State& state) {
  for (auto _ : state) {
    StringMessage msg(gOrderUnits.data());
    benchmark::DoNotOptimize(msg.nextToken());
  }
  report(state);
}

// Tokenizing and building the tree: what a request costs before the handler runs.
void ReadReference(benchmark::State& state) {
  for (auto _ : state) {
    StringMessage msg(gOrderUnits.data());
    BusinessObject bo(msg);
    benchmark::DoNotOptimize(bo.getTheSpec());
  }
  report(state);
}

// Writing the tree back: what a request costs after the handler returns.
void WriteReference(benchmark::State& state) {
  StringMessage msg(gOrderUnits.data());
  BusinessObject bo(msg);
  for (auto _ : state) {
    std::unique_ptr<StringMessage> out(bo.toStringMessage());
    benchmark::DoNotOptimize(out->toUTF16String());
  }
  report(state);
}

// The whole model part of a request: read, write back, release.
void RoundTripReference(benchmark::State& state) {
  for (auto _ : state) {
    StringMessage msg(gOrderUnits.data());
    BusinessObject bo(msg);
    std::unique_ptr<StringMessage> out(bo.toStringMessage());
    benchmark::DoNotOptimize(out->toUTF16String());
  }
  report(state);
}

void CloneReference(benchmark::State& state) {
  StringMessage msg(gOrderUnits.data());
  BusinessObject bo(msg);
  for (auto _ : state) {
    std::unique_ptr<BusinessObject> copy(bo.clone());
    benchmark::DoNotOptimize(copy->getTheSpec());
  }
  state.SetItemsProcessed(state.iterations());
}

// The framework's share of a delta Update: clone, merge the delta into the image, copy back.
void DeltaMergeReference(benchmark::State& state) {
  StringMessage msg(gOrderUnits.data());
  BusinessObject delta(msg);
  delta.setDelta(1);
  for (int i = 0; i < delta.getAttrCount(); ++i) {
    if (void* value = delta.getAttrValue(i)) {
      if (delta.getAttrType(i) == 0 && delta.getAttrDesc(i)->isMultipleCard()) {
        static_cast<BusObjContainer*>(value)->setDelta(1);
      }
    }
  }
  for (auto _ : state) {
    std::unique_ptr<BusinessObject> image(delta.clone());
    image->setDelta(0);
    image->createAfterImageFromDelta(&delta);
    BusinessObject target(delta.getName(), "en_US");
    image->copy(target);
    benchmark::DoNotOptimize(target.getTheSpec());
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(TokenizeReference);
BENCHMARK(ReadReference);
BENCHMARK(WriteReference);
BENCHMARK(RoundTripReference);
BENCHMARK(CloneReference);
BENCHMARK(DeltaMergeReference);

}  // namespace

int main(int argc, char** argv) {
  std::string why;
  if (vybench::startJvmAndAgent(&why) == nullptr) return vybench::startFailed(why);
  if (!vybench::loadReference(&gOrderUnits, &why)) return vybench::startFailed(why);
  return vybench::runBenchmarks(argc, argv);
}

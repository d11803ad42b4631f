// Spec texts: parsing a 200-attribute spec from the agent's UTF-16 text and from native text (the
// n_gotBusObjSpec path), writing it back, and parsing the reference order spec of bench/data.
//
// The kit asks the agent for the native encoding, so the program runs a real agent object:
// the agent jar is found at $VY_AGENT_JAR or at ../java/vyagent.jar beside the executable's
// folder, the reference data at $VY_BENCH_DATA or at ../../bench/data.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "BenchAgent.hpp"
#include "BusObjSpec.hpp"
#include "StringMessage.hpp"

namespace {

// A spec of `attrs` attributes of every simple type, with some keys, defaults and a container,
// and the four usual verbs.
std::unique_ptr<StringMessage> wideSpec(int attrs) {
  static const char* const kTypes[] = {"String",  "Integer",  "Double", "Date",
                                       "Boolean", "LongText", "Float"};
  auto msg = std::make_unique<StringMessage>();
  for (const char* f : {"BusObjSpec", "4.2.0.0", "WideOrder", "1.0.0", "wide order spec"})
    msg->appendField(f);
  msg->appendField(std::to_string(attrs).c_str());
  msg->appendField("4");
  for (int i = 0; i < attrs; ++i) {
    std::string name = "Attribute" + std::to_string(i);
    bool child = i % 50 == 49;
    msg->appendField(name.c_str());
    msg->appendField(child ? "WideChild" : kTypes[i % 7]);
    msg->appendBooleanField(i < 2 ? 1 : 0);
    msg->appendBooleanField(i % 17 == 3 ? 1 : 0);
    msg->appendBooleanField(i % 5 == 0 ? 1 : 0);
    msg->appendField("\x05");
    msg->appendField(std::to_string(20 + i % 60).c_str());
    msg->appendField(i % 9 == 0 ? "default value" : "\x05");
    msg->appendField("1.0.0");
    msg->appendField(child ? "n" : "1");
    msg->appendField(child ? "Containment" : nullptr);
    msg->appendBooleanField(1);
    msg->appendField("\x05");
  }
  for (const char* verb : {"Create", "Retrieve", "Update", "Delete"}) {
    msg->appendField(verb);
    msg->appendField("\x05");
  }
  return msg;
}

void ParseFromUTF16(benchmark::State& state) {
  std::unique_ptr<StringMessage> text = wideSpec(static_cast<int>(state.range(0)));
  const unsigned short* units = text->toUTF16String();
  for (auto _ : state) {
    StringMessage msg(units);
    BusObjSpec spec(msg);
    benchmark::DoNotOptimize(spec.getAttributeCount());
  }
  state.SetBytesProcessed(state.iterations() * text->getCurrentUTF16Size() * 2);
}

void ParseFromNative(benchmark::State& state) {
  std::unique_ptr<StringMessage> text = wideSpec(static_cast<int>(state.range(0)));
  std::string native = text->toString();
  for (auto _ : state) {
    StringMessage msg(native.c_str());
    BusObjSpec spec(msg);
    benchmark::DoNotOptimize(spec.getAttributeCount());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(native.size()));
}

void WriteSpec(benchmark::State& state) {
  std::unique_ptr<StringMessage> text = wideSpec(static_cast<int>(state.range(0)));
  BusObjSpec spec(*text);
  for (auto _ : state) {
    std::unique_ptr<StringMessage> written(spec.toStringMessage());
    benchmark::DoNotOptimize(written->toUTF16String());
  }
}

void ParseReferenceOrder(benchmark::State& state) {
  std::string path = vybench::envOr("VY_BENCH_DATA", vybench::exeDir() + "/../../bench/data") +
                     "/RefOrder.busobjspec";
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string native = buffer.str();
  if (native.empty()) {
    state.SkipWithError(("no reference data at " + path).c_str());
    return;
  }
  {
    StringMessage msg(native.c_str());
    BusObjSpec spec(msg);
    if (spec.getParseError() != nullptr || spec.getAttributeCount() != 32) {
      state.SkipWithError("the reference spec does not parse");
      return;
    }
  }
  for (auto _ : state) {
    StringMessage msg(native.c_str());
    BusObjSpec spec(msg);
    benchmark::DoNotOptimize(spec.getAttributeCount());
  }
}

BENCHMARK(ParseFromUTF16)->Arg(200);
BENCHMARK(ParseFromNative)->Arg(200);
BENCHMARK(WriteSpec)->Arg(200);
BENCHMARK(ParseReferenceOrder);

}  // namespace

int main(int argc, char** argv) {
  std::string why;
  if (vybench::startJvmAndAgent(&why) == nullptr) return vybench::startFailed(why);
  return vybench::runBenchmarks(argc, argv);
}

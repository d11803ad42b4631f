// Packing a business object with its specs and unpacking it: a customer tree with a growing
// number of children, unpacked both where the specs are known (the packed copies are parsed and
// dropped) and where they are not yet filed. Also unpacking a text of many spec fields, which
// shows how the field buffer grows.
//
// The kit asks the agent for the native encoding, so the program runs a real agent object:
// the agent jar is found at $VY_AGENT_JAR or at ../java/vyagent.jar beside the executable's
// folder.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchAgent.hpp"
#include "BusObjAndSpecSerializer.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "StringMessage.hpp"

namespace {

struct Attr {
  const char* name;
  const char* type;
  const char* card;
};

std::string specText(const std::string& name, const std::vector<Attr>& attrs) {
  StringMessage msg;
  for (const char* f : {"BusObjSpec", "4.2.0.0", name.c_str(), "1.0.0", "\x05"}) msg.appendField(f);
  msg.appendField(std::to_string(attrs.size()).c_str());
  msg.appendField("1");
  for (size_t i = 0; i < attrs.size(); ++i) {
    for (const char* f :
         {attrs[i].name, attrs[i].type, i == 0 ? "true" : "false", "false", "false", "\x05", "40",
          "\x05", "1.0.0", attrs[i].card, "Containment", "true", "\x05"})
      msg.appendField(f);
  }
  msg.appendField("Create");
  msg.appendField("\x05");
  return msg.toString();
}

void file(const std::string& text) {
  StringMessage msg(text.c_str());
  BusObjSpecDirectory::theBusObjSpecDirectory.insert(*new BusObjSpec(msg));
}

void fileSpecs() {
  file(specText("BenchLine", {{"Id", "String", "1"},
                              {"Item", "String", "1"},
                              {"Quantity", "Integer", "1"},
                              {"Price", "Double", "1"}}));
  file(specText("BenchOrder", {{"Id", "String", "1"},
                               {"Customer", "String", "1"},
                               {"Lines", "BenchLine", "n"},
                               {"Parent", "BenchOrder", "1"},
                               {"Note", "LongText", "1"}}));
}

std::unique_ptr<BusinessObject> order(int lines) {
  auto bo = std::make_unique<BusinessObject>("BenchOrder", "en_US");
  bo->setVerb("Create");
  bo->setAttrValue("Id", "4711", 5);
  bo->setAttrValue("Customer", "Example customer", 5);
  bo->setAttrValue("Note", "a note of some length, long enough to matter a little", 7);
  for (int i = 0; i < lines; ++i) {
    auto* line = new BusinessObject("BenchLine", "en_US");
    line->setVerb("Create");
    line->setAttrValue("Id", std::to_string(i).c_str(), 5);
    line->setAttrValue("Item", "widget", 5);
    line->setAttrValue("Quantity", "3", 2);
    line->setAttrValue("Price", "9.95", 4);
    bo->setAttrValue("Lines", line, 0);
  }
  return bo;
}

void Serialize(benchmark::State& state) {
  std::unique_ptr<BusinessObject> bo = order(static_cast<int>(state.range(0)));
  size_t bytes = 0;
  for (auto _ : state) {
    char* packed = BusObjAndSpecSerializer::serialize(bo.get());
    bytes = std::strlen(packed);
    std::free(packed);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

void DeSerializeKnownSpecs(benchmark::State& state) {
  std::unique_ptr<BusinessObject> bo = order(static_cast<int>(state.range(0)));
  char* packed = BusObjAndSpecSerializer::serialize(bo.get());
  for (auto _ : state) {
    std::unique_ptr<BusinessObject> back(BusObjAndSpecSerializer::deSerialize(packed));
    benchmark::DoNotOptimize(back->getTheSpec());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::strlen(packed)));
  std::free(packed);
}

// Each round files the specs anew (the directory keeps every spec it ever held, so this also
// grows the process a little per round).
void DeSerializeNewSpecs(benchmark::State& state) {
  std::unique_ptr<BusinessObject> bo = order(static_cast<int>(state.range(0)));
  char* packed = BusObjAndSpecSerializer::serialize(bo.get());
  for (auto _ : state) {
    BusObjSpecDirectory::theBusObjSpecDirectory.deleteBusObj("BenchOrder", "1.0.0");
    BusObjSpecDirectory::theBusObjSpecDirectory.deleteBusObj("BenchLine", "1.0.0");
    std::unique_ptr<BusinessObject> back(BusObjAndSpecSerializer::deSerialize(packed));
    benchmark::DoNotOptimize(back->getTheSpec());
  }
  std::free(packed);
}

// A packed text carrying `range(0)` copies of a small spec.
void DeSerializeManySpecFields(benchmark::State& state) {
  std::unique_ptr<BusinessObject> bo = order(1);
  char* packed = BusObjAndSpecSerializer::serialize(bo.get());
  std::string text = packed;
  std::free(packed);
  std::string spec = specText("BenchTiny", {{"Id", "String", "1"}});
  std::string field = std::to_string(spec.size()) + "\x03" + spec;
  for (int64_t i = 0; i < state.range(0); ++i) text += field;
  for (auto _ : state) {
    std::unique_ptr<BusinessObject> back(BusObjAndSpecSerializer::deSerialize(text.c_str()));
    benchmark::DoNotOptimize(back.get());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

BENCHMARK(Serialize)->Arg(1)->Arg(100);
BENCHMARK(DeSerializeKnownSpecs)->Arg(1)->Arg(100);
BENCHMARK(DeSerializeNewSpecs)->Arg(1);
BENCHMARK(DeSerializeManySpecFields)->Arg(1000)->Arg(10000);

}  // namespace

int main(int argc, char** argv) {
  std::string why;
  if (vybench::startJvmAndAgent(&why) == nullptr) return vybench::startFailed(why);
  fileSpecs();
  return vybench::runBenchmarks(argc, argv);
}

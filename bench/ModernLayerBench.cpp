// The modern layer (VyModern.hpp) against the classic calls it wraps, on the reference order (30
// simple attributes, two containers of 10 children each): reading every value of the tree and
// writing every simple value of the tree, once by attribute handle (vy::Attr against the index)
// and once by name. Each "Family/floor" is the classic form, "Family/modern" the layer's; the
// layer is meant to stay within a few percent of its floor.
//
// Like BusinessObjectBench, the program runs a real agent object (the kit asks it for the
// native encoding) and reads bench/data.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchAgent.hpp"
#include "ReferenceData.hpp"
#include "StringMessage.hpp"
#include "VyModern.hpp"

namespace {

std::vector<unsigned short> gOrderUnits;

std::unique_ptr<BusinessObject> referenceOrder() {
  StringMessage msg(gOrderUnits.data());
  return std::make_unique<BusinessObject>(msg);
}

// ---- reading: every value of the tree, the way a connector reads one (ignored, blank, text) ----

// The classic form at its best: the spec's description list walked directly, one slot read each.
size_t readClassic(BusinessObject& bo) {
  size_t bytes = 0;
  BusObjSpec* spec = bo.getTheSpec();
  for (int i = 0; i < spec->getAttributeCount(); ++i) {
    BOAttrType* d = spec->getAttrList() + i;
    void* v = bo.getAttrValue(i);
    if (d->isObjectType()) {
      if (v == nullptr || v == BusinessObject::BlankValue) continue;
      if (!d->isMultipleCard()) {
        bytes += readClassic(*static_cast<BusinessObject*>(v));
        continue;
      }
      BusObjContainer* c = static_cast<BusObjContainer*>(v);
      for (int k = 0; k < c->getObjectCount(); ++k) {
        if (BusinessObject* child = c->getObject(k)) bytes += readClassic(*child);
      }
    } else if (v != nullptr && !BusinessObject::isBlankValue(v)) {
      bytes += std::strlen(static_cast<const char*>(v));
    }
  }
  return bytes;
}

size_t readModern(BusinessObject& bo) {
  size_t bytes = 0;
  for (const vy::Attr& a : vy::attributes(bo)) {
    if (a.isObject()) {
      for (BusinessObject& child : vy::children(bo, a)) bytes += readModern(child);
    } else if (std::optional<std::string_view> t = vy::text(bo, a)) {
      bytes += t->size();
    }
  }
  return bytes;
}

void ReadTree_floor(benchmark::State& state) {
  auto bo = referenceOrder();
  for (auto _ : state) benchmark::DoNotOptimize(readClassic(*bo));
  state.SetItemsProcessed(state.iterations());
}

void ReadTree_modern(benchmark::State& state) {
  auto bo = referenceOrder();
  if (readModern(*bo) != readClassic(*bo)) state.SkipWithError("the two reads differ");
  for (auto _ : state) benchmark::DoNotOptimize(readModern(*bo));
  state.SetItemsProcessed(state.iterations());
}

// ---- writing: every simple value of the tree set again to a text of the same length ----

// The texts written: each attribute's own value with its first character changed, per object.
std::vector<std::vector<std::string>> newTexts(BusinessObject& bo) {
  std::vector<std::vector<std::string>> out;
  std::vector<std::string> mine;
  for (int i = 0; i < bo.getAttrCount(); ++i) {
    std::optional<std::string_view> t =
        bo.getAttrDesc(i)->isObjectType() ? std::nullopt : vy::text(bo, vy::attributes(bo)[i]);
    std::string text = t && !t->empty() ? std::string(*t) : std::string("x");
    text[0] = text[0] == 'Z' ? 'Y' : 'Z';
    mine.push_back(text);
  }
  out.push_back(mine);
  for (const vy::Attr& a : vy::attributes(bo)) {
    if (!a.isObject()) continue;
    for (BusinessObject& child : vy::children(bo, a)) {
      for (auto& texts : newTexts(child)) out.push_back(std::move(texts));
    }
  }
  return out;
}

void writeClassic(BusinessObject& bo, const std::vector<std::vector<std::string>>& texts,
                  size_t* at) {
  const std::vector<std::string>& mine = texts[(*at)++];
  BusObjSpec* spec = bo.getTheSpec();
  for (int i = 0; i < spec->getAttributeCount(); ++i) {
    BOAttrType* d = spec->getAttrList() + i;
    if (!d->isObjectType()) {
      bo.setAttrValue(i, mine[i].c_str(), d->getTypeNum());
      continue;
    }
    void* v = bo.getAttrValue(i);
    if (v == nullptr || v == BusinessObject::BlankValue) continue;
    if (!d->isMultipleCard()) {
      writeClassic(*static_cast<BusinessObject*>(v), texts, at);
      continue;
    }
    BusObjContainer* c = static_cast<BusObjContainer*>(v);
    for (int k = 0; k < c->getObjectCount(); ++k) {
      if (BusinessObject* child = c->getObject(k)) writeClassic(*child, texts, at);
    }
  }
}

void writeModern(BusinessObject& bo, const std::vector<std::vector<std::string>>& texts,
                 size_t* at) {
  const std::vector<std::string>& mine = texts[(*at)++];
  for (const vy::Attr& a : vy::attributes(bo)) {
    if (!a.isObject()) {
      vy::set(bo, a, mine[a.index()]);
    } else {
      for (BusinessObject& child : vy::children(bo, a)) writeModern(child, texts, at);
    }
  }
}

// Every simple value of the tree written again, once per iteration, with one of the two writers.
template <void (*Write)(BusinessObject&, const std::vector<std::vector<std::string>>&, size_t*)>
void WriteTree(benchmark::State& state) {
  auto bo = referenceOrder();
  auto texts = newTexts(*bo);
  for (auto _ : state) {
    size_t at = 0;
    Write(*bo, texts, &at);
  }
  state.SetItemsProcessed(state.iterations());
}

// ---- by name: the order's simple values read and written through their names ----

std::vector<std::string> simpleNames(BusinessObject& bo) {
  std::vector<std::string> names;
  for (const vy::Attr& a : vy::attributes(bo)) {
    if (!a.isObject()) names.emplace_back(a.name());
  }
  return names;
}

void ByName_floor(benchmark::State& state) {
  auto bo = referenceOrder();
  std::vector<std::string> names = simpleNames(*bo);
  for (auto _ : state) {
    for (const std::string& name : names) {
      void* v = bo->getAttrValue(name.c_str());
      const char* text = v == nullptr                      ? nullptr
                         : BusinessObject::isBlankValue(v) ? ""
                                                           : static_cast<const char*>(v);
      std::string copy = text != nullptr && *text != '\0' ? text : "x";
      bo->setAttrValue(name.c_str(), copy.c_str(), bo->getAttrType(name.c_str()));
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void ByName_modern(benchmark::State& state) {
  auto bo = referenceOrder();
  std::vector<std::string> names = simpleNames(*bo);
  for (auto _ : state) {
    for (const std::string& name : names) {
      std::optional<std::string_view> text = vy::text(*bo, name);
      std::string copy = text && !text->empty() ? std::string(*text) : "x";
      vy::set(*bo, name, copy);
    }
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(ReadTree_floor)->Name("ReadTree/floor");
BENCHMARK(ReadTree_modern)->Name("ReadTree/modern");
BENCHMARK(WriteTree<writeClassic>)->Name("WriteTree/floor");
BENCHMARK(WriteTree<writeModern>)->Name("WriteTree/modern");
BENCHMARK(ByName_floor)->Name("ByName/floor");
BENCHMARK(ByName_modern)->Name("ByName/modern");

}  // namespace

int main(int argc, char** argv) {
  std::string why;
  if (vybench::startJvmAndAgent(&why) == nullptr || !vybench::loadReference(&gOrderUnits, &why))
    return vybench::startFailed(why);
  return vybench::runBenchmarks(argc, argv);
}

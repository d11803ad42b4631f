// Text conversion: the native paths for UTF-8 against the same conversions done by the JVM, for
// short, medium and large texts, towards the agent and back. A large text's floor is a memcpy of
// its input; a short one's, the allocation, copy and release of its result. Each iteration
// builds its converter, as the bridge does per call.
//
// The machine is shared: a burst of other work can double one figure and not the one it is
// compared with. So every figure is measured in several short repetitions, run in a shuffled
// order with all the others, and reported as the best of them ("_min").
#include <benchmark/benchmark.h>
#include <jni.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchAgent.hpp"
#include "KyConversion.hpp"

namespace {

JNIEnv* gEnv = nullptr;
constexpr const char* kEncoding = "UTF-8";

// ASCII text, or (mixed) text with accented letters, some CJK and an emoji now and then.
std::string nativeText(size_t size, bool mixed) {
  static const char* const ascii[] = {"order ", "line ", "12345 ", "Customer", "; ", "qty=7 "};
  static const char* const other[] = {"caf\xC3\xA9 ", "M\xC3\xBCller ", "\xE4\xB8\xAD\xE6\x96\x87 ",
                                      "\xF0\x9F\x98\x80", "na\xC3\xAFve "};
  std::string s;
  for (unsigned i = 0; s.size() < size; ++i) s += mixed && i % 3 == 0 ? other[i % 5] : ascii[i % 6];
  // Cut on a character boundary.
  size_t end = size;
  while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
  s.resize(end);
  return s;
}

std::u16string unitsOf(const std::string& utf8) {
  KyConversion conv(kEncoding);
  int length = -1;
  unsigned short* u = conv.jvmNativeToUTF16(gEnv, utf8.c_str(), length);
  std::u16string out(reinterpret_cast<char16_t*>(u), static_cast<size_t>(length));
  std::free(u);
  return out;
}

std::string modifiedOf(const std::string& utf8) {
  KyConversion conv(kEncoding);
  char* m = conv.jvmNativeToUTF8(gEnv, utf8.c_str());
  std::string out(m);
  std::free(m);
  return out;
}

void setBytes(benchmark::State& state, size_t perIteration) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * perIteration));
}

template <bool kJvm>
void NativeToUTF8(benchmark::State& state) {
  std::string text = nativeText(static_cast<size_t>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    KyConversion conv(kEncoding);
    char* out =
        kJvm ? conv.jvmNativeToUTF8(gEnv, text.c_str()) : conv.fromNativeToUTF8(gEnv, text.c_str());
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  setBytes(state, text.size());
}

template <bool kJvm>
void UTF8ToNative(benchmark::State& state) {
  std::string text =
      modifiedOf(nativeText(static_cast<size_t>(state.range(0)), state.range(1) != 0));
  for (auto _ : state) {
    KyConversion conv(kEncoding);
    char* out =
        kJvm ? conv.jvmUTF8ToNative(gEnv, text.c_str()) : conv.fromUTF8ToNative(gEnv, text.c_str());
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  setBytes(state, text.size());
}

template <bool kJvm>
void NativeToUTF16(benchmark::State& state) {
  std::string text = nativeText(static_cast<size_t>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    KyConversion conv(kEncoding);
    int length = static_cast<int>(text.size());
    unsigned short* out = kJvm ? conv.jvmNativeToUTF16(gEnv, text.c_str(), length)
                               : conv.fromNativeToUTF16(gEnv, text.c_str(), length);
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  setBytes(state, text.size());
}

template <bool kJvm>
void UTF16ToNative(benchmark::State& state) {
  std::u16string text =
      unitsOf(nativeText(static_cast<size_t>(state.range(0)), state.range(1) != 0));
  auto units = reinterpret_cast<const unsigned short*>(text.c_str());
  for (auto _ : state) {
    KyConversion conv(kEncoding);
    int length = static_cast<int>(text.size());
    char* out = kJvm ? conv.jvmUTF16ToNative(gEnv, units, length)
                     : conv.fromUTF16ToNative(gEnv, units, length);
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  setBytes(state, text.size() * 2);
}

// The floor of a long text: a memcpy of the same input bytes into a buffer made beforehand.
template <typename Text>
void copyFloor(benchmark::State& state, const Text& text) {
  size_t bytes = text.size() * sizeof(text[0]);
  std::string out(bytes, '\0');
  for (auto _ : state) {
    std::memcpy(&out[0], text.data(), bytes);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  setBytes(state, bytes);
}

// The floor of a short text: what any conversion that hands out a new result pays at least, the
// result's allocation, the writing of its bytes (a copy of the finished result, terminator
// included) and its release.
void resultFloor(benchmark::State& state, size_t inputBytes, const void* result,
                 size_t resultBytes) {
  for (auto _ : state) {
    auto* out = static_cast<char*>(std::malloc(resultBytes));
    std::memcpy(out, result, resultBytes);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
    std::free(out);
  }
  setBytes(state, inputBytes);
}

bool longText(const benchmark::State& state) { return state.range(0) >= 64 * 1024; }

std::string textOf(const benchmark::State& state) {
  return nativeText(static_cast<size_t>(state.range(0)), state.range(1) != 0);
}

void NativeToUTF8Floor(benchmark::State& state) {
  std::string text = textOf(state);
  if (longText(state)) return copyFloor(state, text);
  std::string modified = modifiedOf(text);
  resultFloor(state, text.size(), modified.c_str(), modified.size() + 1);
}
void UTF8ToNativeFloor(benchmark::State& state) {
  std::string text = textOf(state), modified = modifiedOf(text);
  if (longText(state)) return copyFloor(state, modified);
  resultFloor(state, modified.size(), text.c_str(), text.size() + 1);
}
void NativeToUTF16Floor(benchmark::State& state) {
  std::string text = textOf(state);
  if (longText(state)) return copyFloor(state, text);
  std::u16string units = unitsOf(text);
  resultFloor(state, text.size(), units.c_str(), (units.size() + 1) * 2);
}
void UTF16ToNativeFloor(benchmark::State& state) {
  std::string text = textOf(state);
  std::u16string units = unitsOf(text);
  if (longText(state)) return copyFloor(state, units);
  resultFloor(state, units.size() * 2, text.c_str(), text.size() + 1);
}

double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

void repeated(benchmark::internal::Benchmark* b) { b->ComputeStatistics("min", fastest); }

// range(0): text size in bytes; range(1): 0 ASCII, 1 mixed.
void sizes(benchmark::internal::Benchmark* b) {
  for (int mixed : {0, 1})
    for (int size : {16, 256, 64 * 1024}) b->Args({size, mixed});
  b->ArgNames({"bytes", "mixed"});
  repeated(b);
}

BENCHMARK(NativeToUTF8Floor)->Name("NativeToUTF8/floor")->Apply(sizes);
BENCHMARK(UTF8ToNativeFloor)->Name("UTF8ToNative/floor")->Apply(sizes);
BENCHMARK(NativeToUTF16Floor)->Name("NativeToUTF16/floor")->Apply(sizes);
BENCHMARK(UTF16ToNativeFloor)->Name("UTF16ToNative/floor")->Apply(sizes);
BENCHMARK_TEMPLATE(NativeToUTF8, false)->Name("NativeToUTF8/native")->Apply(sizes);
BENCHMARK_TEMPLATE(NativeToUTF8, true)->Name("NativeToUTF8/jvm")->Apply(sizes);
BENCHMARK_TEMPLATE(UTF8ToNative, false)->Name("UTF8ToNative/native")->Apply(sizes);
BENCHMARK_TEMPLATE(UTF8ToNative, true)->Name("UTF8ToNative/jvm")->Apply(sizes);
BENCHMARK_TEMPLATE(NativeToUTF16, false)->Name("NativeToUTF16/native")->Apply(sizes);
BENCHMARK_TEMPLATE(NativeToUTF16, true)->Name("NativeToUTF16/jvm")->Apply(sizes);
BENCHMARK_TEMPLATE(UTF16ToNative, false)->Name("UTF16ToNative/native")->Apply(sizes);
BENCHMARK_TEMPLATE(UTF16ToNative, true)->Name("UTF16ToNative/jvm")->Apply(sizes);

}  // namespace

int main(int argc, char** argv) {
  std::string why;
  gEnv = vybench::createJvm({}, &why);
  if (gEnv == nullptr) return vybench::startFailed(why);
  KyConversion::initStatic(gEnv);
  // Seven short repetitions of each figure, shuffled among all the others; flags given on the
  // command line come after these and win.
  std::vector<char*> args(argv, argv + argc);
  char repetitions[] = "--benchmark_repetitions=7";
  char shortRuns[] = "--benchmark_min_time=0.1";
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  char aggregates[] = "--benchmark_report_aggregates_only=true";
  args.insert(args.begin() + 1, {repetitions, shortRuns, interleave, aggregates});
  return vybench::runBenchmarks(static_cast<int>(args.size()), args.data());
}

# The front door. `make run` runs the main job; `make test` builds and passes every test.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build release test run bench fuzz clean test-asan test-tsan soak

all: build

deps:
	@./scripts/deps.sh

configure: deps
	@if [ ! -f $(BUILD)/build.ninja ]; then cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug; fi

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The main job and the benchmarks run the Release build (build-release), so their figures are
# the kit's real speed.
release: deps
	@if [ ! -f build-release/build.ninja ]; then cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVY_BUILD_TESTS=OFF; fi
	cmake --build build-release -j $(JOBS)

run: release
	@VY_BUILD=build-release ./bin/vyrun

bench: release
	@./bin/vybench

# The whole suite under AddressSanitizer + UndefinedBehaviorSanitizer, in build-asan.
test-asan: deps
	@JOBS=$(JOBS) ./tests/hardening/run-asan.sh

# The concurrency tests under ThreadSanitizer, in build-tsan.
test-tsan: deps
	@JOBS=$(JOBS) ./tests/hardening/run-tsan.sh

# The soaks: eight agent threads and a connector thread for about 30 seconds, then a million
# round trips and a million events with the resident size watched (fixed Java heap); then
# 100,000 requests with agent callbacks failing at random, restarts under a stream of events,
# and 100,000 requests with the JVM out of heap inside callbacks (a 32 MB heap).
SOAK_OPS ?= 150000
soak: build
	VY_SOAK=1 VY_SOAK_OPS=$(SOAK_OPS) JAVA_TOOL_OPTIONS="-Xms256m -Xmx256m -XX:+AlwaysPreTouch" \
	  $(BUILD)/bin/vy_jvm_tests --gtest_filter='ConcurrencySoakTest.*:LeakSoakTest.*:AgentFaultTest.*:AgentRestartTest.*'
	VY_SOAK=1 JAVA_TOOL_OPTIONS="-Xms32m -Xmx32m" \
	  $(BUILD)/bin/vy_jvm_tests --gtest_filter='SmallHeapFaultTest.*'
	VY_SQLITE_KILL_ROUNDS=30 ctest --test-dir $(BUILD) -R java_sqlite_crash --output-on-failure

# libFuzzer targets (clang, ASan + UBSan) in build-fuzz: each runs FUZZ_SECONDS from its seeds.
FUZZ_SECONDS ?= 60
fuzz: deps
	@FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) ./fuzz/run.sh

clean:
	rm -rf $(BUILD) build-release

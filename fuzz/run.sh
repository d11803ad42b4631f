#!/bin/sh
# Builds the fuzz targets (clang, ASan + UBSan, in build-fuzz), writes their seed corpus with the
# kit's own writers, and runs each target in turn for FUZZ_SECONDS seconds (default 60) from its
# corpus with its dictionary. Optional arguments name the targets to run (default: all).
# Findings go to build-fuzz/findings/<target>/; the exit status is non-zero when any target
# found something. Every finding belongs in a regression test under tests/.
set -e
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${FUZZ_BUILD:-$ROOT/build-fuzz}
SECONDS_EACH=${FUZZ_SECONDS:-60}
JOBS=${JOBS:-2}
TARGETS=${*:-"string_message business_object transaction spec deserialize deserialize_keys conversion do_verb"}

command -v clang++ >/dev/null || { echo "make fuzz needs clang (apt-get install clang)"; exit 2; }
if [ ! -f "$BUILD/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVY_FUZZ=ON -DVY_BUILD_TESTS=OFF -DVY_BUILD_BENCH=OFF
fi
cmake --build "$BUILD" -j "$JOBS" --target fuzz_all
"$BUILD/bin/vy_fuzz_corpus" "$BUILD/corpus"

dict_of() {
  case "$1" in
    spec) echo spec16 ;;
    deserialize|deserialize_keys) echo packed ;;
    conversion) echo conversion ;;
    *) echo wire16 ;;
  esac
}

status=0
for t in $TARGETS; do
  work="$BUILD/work/$t"
  findings="$BUILD/findings/$t"
  mkdir -p "$work" "$findings"
  log="$BUILD/work/$t.log"
  echo "== fuzz_$t for ${SECONDS_EACH}s"
  if "$BUILD/bin/fuzz_$t" -max_total_time="$SECONDS_EACH" -print_final_stats=1 \
      -dict="$ROOT/fuzz/dict/$(dict_of "$t").dict" -artifact_prefix="$findings/" \
      "$work" "$BUILD/corpus/$t" >"$log" 2>&1; then
    cov=$(grep -E '^#[0-9]+' "$log" | tail -1 | sed -n 's/.*cov: \([0-9]*\) ft: \([0-9]*\) corp: \([0-9]*\).*/cov \1, features \2, corpus \3/p')
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log")
    echo "   ok: $runs runs ($rate/s), $cov, peak RSS $rss MB"
  else
    status=1
    echo "   FOUND SOMETHING: see $log and $findings/"
    grep -E 'ERROR|contract broken|WARNING|SUMMARY' "$log" | head -5 | sed 's/^/   /'
  fi
done
exit $status

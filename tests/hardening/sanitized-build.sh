# Sourced by the sanitizer runs (run-asan.sh, run-tsan.sh): moves to the source tree and sets ROOT
# (that tree) and JOBS (default 2); configure_once <build folder> <cmake option>... configures the
# folder in Debug with Ninja and without the benchmarks, unless it is configured already.
cd "$(dirname "$0")/../.."
ROOT=$(pwd)
JOBS=${JOBS:-2}

configure_once() {
  build=$1
  shift
  [ -f "$build/build.ninja" ] ||
    cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVY_BUILD_BENCH=OFF "$@"
}

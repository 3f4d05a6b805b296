# Shared by the benchmark scripts: builds the given targets with the preset this machine's Wine can
# run and brings up a "bench" rig group. Sets `bin` to the build folder.
#
#   BENCH_BUILD_DIR   the build folder (default build/<preset>)
#   BENCH_RIG_DIR     the rig's state (default build/bench-rig); the benchmark takes it down at exit
# shellcheck shell=bash
bench_setup() {
  local preset=windows
  [ "$(tests/rig/rig.sh arch)" = 32 ] || preset=windows-x64
  bin=${BENCH_BUILD_DIR:-$PWD/build/$preset}
  cmake --preset "$preset" -B "$bin" >/dev/null
  cmake --build "$bin" -j2 --target "$@" >/dev/null
  export RIG_DIR=${BENCH_RIG_DIR:-$PWD/build/bench-rig}
  tests/rig/rig.sh up bench >/dev/null 2>&1
  trap 'tests/rig/rig.sh down >/dev/null 2>&1 || true' EXIT
}

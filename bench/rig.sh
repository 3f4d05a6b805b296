# Shared by the benchmark scripts: builds the given targets with the preset this machine's Wine can
# run and brings up a "bench" rig group. Sets `bin` to the build folder.
# shellcheck shell=bash
bench_setup() {
  local preset=windows
  [ "$(tests/rig/rig.sh arch)" = 32 ] || preset=windows-x64
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target "$@" >/dev/null
  bin=$PWD/build/$preset
  export RIG_DIR=$PWD/build/bench-rig
  tests/rig/rig.sh up bench >/dev/null 2>&1
  trap 'tests/rig/rig.sh down >/dev/null 2>&1 || true' EXIT
}

# Shared by the benchmark scripts: builds the given targets with the preset this machine's Wine can
# run and brings up a "bench" rig group. Sets `bin` to the build folder.
#
#   BENCH_BUILD_DIR   the build folder (default build/<preset>)
#   BENCH_RIG_DIR     the rig's state (default build/bench-rig); the benchmark takes it down at exit
# shellcheck shell=bash
bench_setup() {
  preset=windows
  [ "$(tests/rig/rig.sh arch)" = 32 ] || preset=windows-x64
  bin=${BENCH_BUILD_DIR:-$PWD/build/$preset}
  cmake --preset "$preset" -B "$bin" >/dev/null
  cmake --build "$bin" -j2 --target "$@" >/dev/null
  export RIG_DIR=${BENCH_RIG_DIR:-$PWD/build/bench-rig}
  tests/rig/rig.sh up bench >/dev/null 2>&1
  trap 'tests/rig/rig.sh down >/dev/null 2>&1 || true' EXIT
}

# bench_sources COMMIT DIR: the sources of an earlier commit in DIR, for a build to compare with.
bench_sources() {
  if [ ! -d "$2" ]; then
    mkdir -p "$2"
    git archive "$1" | tar -x -C "$2"
  fi
}

# bench_build_commit COMMIT TARGET...: after bench_setup, builds the targets of that commit with the
# same preset in build/bench-before/<commit>/build; sets `before_bin` to that folder.
bench_build_commit() {
  local commit dir
  commit=$(git rev-parse --short=12 "$1")
  shift
  dir=$PWD/build/bench-before/$commit
  bench_sources "$commit" "$dir/src"
  before_bin=$dir/build
  (cd "$dir/src" && cmake --preset "$preset" -B "$before_bin" >/dev/null)
  cmake --build "$before_bin" -j2 --target "$@" >/dev/null
}

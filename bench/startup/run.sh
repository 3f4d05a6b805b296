#!/usr/bin/env bash
# Time from process start to frmInstall visible, under Wine: median of several runs.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
runs=${STARTUP_RUNS:-9}

arch=$(tests/rig/rig.sh arch)
preset=windows
[ "$arch" = 32 ] || preset=windows-x64
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target CVInstall StartupTime >/dev/null
bin=$root/build/$preset

export RIG_DIR=$root/build/bench-rig
tests/rig/rig.sh up bench >/dev/null 2>&1
trap 'tests/rig/rig.sh down >/dev/null 2>&1 || true' EXIT
winpath() { echo "Z:${1//\//\\}"; }
tests/rig/wine-run bench "$bin/bench/StartupTime.exe" "$(winpath "$bin/src/CVInstall.exe")" "$runs"

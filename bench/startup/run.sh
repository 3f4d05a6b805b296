#!/usr/bin/env bash
# Time from process start to frmInstall visible, under Wine: median of several runs, against a
# minimal program that shows one window and against the floor program (a window like frmInstall
# with bare child windows, see StartupFloor.cpp), in the same run; the last line is the ratio.
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${STARTUP_RUNS:-9}

# shellcheck disable=SC1091
source bench/rig.sh
bench_setup CVInstall StartupTime StartupBaseline StartupFloor
winpath() { echo "Z:${1//\//\\}"; }
# STARTUP_BEFORE=<commit> also times the CVInstall.exe of that commit in the same turns.
before=()
if [ -n "${STARTUP_BEFORE:-}" ]; then
  bench_build_commit "$STARTUP_BEFORE" CVInstall
  before=("$(winpath "$before_bin/src/CVInstall.exe")")
fi
tests/rig/wine-run bench "$bin/bench/StartupTime.exe" "$(winpath "$bin/src/CVInstall.exe")" "$runs" \
  "$(winpath "$bin/bench/StartupBaseline.exe")" "$(winpath "$bin/bench/StartupFloor.exe")" \
  "${before[@]}" | tr -d '\r'

#!/usr/bin/env bash
# Time from process start to frmInstall visible, under Wine: median of several runs.
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${STARTUP_RUNS:-9}

# shellcheck disable=SC1091
source bench/rig.sh
bench_setup CVInstall StartupTime
winpath() { echo "Z:${1//\//\\}"; }
tests/rig/wine-run bench "$bin/bench/StartupTime.exe" "$(winpath "$bin/src/CVInstall.exe")" "$runs"

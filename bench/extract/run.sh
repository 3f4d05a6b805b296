#!/usr/bin/env bash
# RunSelfExtractor on the full package under Wine: wall time against the pauses it asked for.
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${EXTRACT_RUNS:-5}

# shellcheck disable=SC1091
source bench/rig.sh
bench_setup extract_bench packages
winpath() { echo "Z:${1//\//\\}"; }
tests/rig/wine-run bench "$bin/bench/extract_bench.exe" \
  "$(winpath "$bin/packages/CelvaraStudio_v3.9.exe")" "$runs"

#!/usr/bin/env bash
# A full installation with the real installer under Wine, from the INSTALL click to the completion
# window: median of INSTALL_RUNS (5) against the pauses the code prescribes on that path.
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${INSTALL_RUNS:-5}

# shellcheck disable=SC1091
source bench/rig.sh
export CVI_PACKAGES=${CVI_PACKAGES:-${BENCH_BUILD_DIR:+$BENCH_BUILD_DIR/packages}}
bench_setup install_bench
tests/rig/wine-run bench "$bin/bench/install_bench.exe" "$runs"

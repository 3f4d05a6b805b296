#!/usr/bin/env bash
# How quickly frmInstall answers during a download, under Wine: a second process sends WM_NULL to
# it every 20 ms while the vendor server stand-in sends at full speed, trickles 4 KB every 200 ms,
# drips a byte every 200 ms and falls silent, and while nobody downloads (the baseline). One line
# per mode with the median, the 99th percentile and the slowest answer; the last line is the worst
# 99th percentile.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${RESPONSIVE_SECONDS:-6}

# shellcheck disable=SC1091
source bench/rig.sh
bench_setup responsive_bench
tests/rig/wine-run bench "$bin/bench/responsive_bench.exe" --port "${CVI_VENDOR_PORT:-47801}" \
  --seconds "$seconds" | tr -d '\r' | awk '
  { print }
  / percentile / { v = $7 + 0; if (v > worst) worst = v }
  END { printf "responsive worst 99th percentile %.2f ms (target 20)\n", worst }'

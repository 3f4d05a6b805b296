#!/usr/bin/env bash
# Builds the transfer benchmark and runs it under Wine against the vendor server stand-in on
# loopback: peak memory at 10 MB and 100 MB, then timing pairs at 100 MB. The last line reads
# "transfer ratio <median of window time / bare time>".
#
#   bench/transfer/run.sh            (PAIRS=5, MB=100, BREAKDOWN=1 adds a per-layer breakdown)
#   BUILD_DIR=... to build elsewhere than <repo>/build/bench-transfer
set -euo pipefail

REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
PAIRS="${PAIRS:-5}"
MB="${MB:-100}"
WINE_DIR=/usr/lib/wine

log() { echo "bench: $*" >&2; }

# 32-bit Wine only where this machine really runs i386 code; otherwise the x86-64 build.
if [[ -x $WINE_DIR/wine ]] && "$WINE_DIR/wine" --version >/dev/null 2>&1; then
  preset=windows arch=win32 wine=$WINE_DIR/wine
else
  preset=windows-x64 arch=win64 wine=$WINE_DIR/wine64
fi
server_bin=$WINE_DIR/wineserver64
[[ -x $server_bin ]] || server_bin=$WINE_DIR/wineserver32
BUILD_DIR="${BUILD_DIR:-$REPO/build/bench-transfer-$arch}"

log "building transfer_bench ($preset) in $BUILD_DIR"
(cd "$REPO" && cmake --preset "$preset" -B "$BUILD_DIR" -DCVINSTALL_TESTS=OFF >/dev/null)
cmake --build "$BUILD_DIR" --target transfer_bench -j2 >/dev/null
bench_exe=$(find "$BUILD_DIR" -name transfer_bench.exe -print -quit)

work=$(mktemp -d /tmp/cvi-bench.XXXXXX)
xvfb_pid= server_pid=
export WINEPREFIX=$work/prefix WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINESERVER=$server_bin WINELOADER=$wine
cleanup() {
  "$server_bin" -k 2>/dev/null || true
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# An own display, numbered by the X server itself so that it never clashes with another one.
exec 3>"$work/display"
Xvfb -displayfd 3 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

python3 "$REPO/tools/vendor_server/vendor_server.py" --port 0 --root "$work/packages" \
  >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 100); do grep -q '^ready' "$work/server.out" 2>/dev/null && break; sleep 0.1; done
port=$(awk '/^ready/ {print $2}' "$work/server.out")
[[ -n $port ]] || { log "vendor server did not start"; exit 1; }

log "preparing a Wine prefix ($arch) on $DISPLAY, server on 127.0.0.1:$port"
(unset DISPLAY; "$wine" wineboot -i </dev/null >/dev/null 2>&1)
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
"$server_bin" -k; "$server_bin" -w
"$server_bin" -p </dev/null >/dev/null 2>&1
"$wine" cmd /c exit 0 </dev/null >/dev/null 2>&1

echo "transfer benchmark: $("$wine" --version 2>/dev/null), $arch, $(nproc) cores"
for size in 10 100; do
  for mode in bare window; do
    "$wine" "$bench_exe" --port "$port" --memory "$mode" --mb "$size" </dev/null
  done
done
if [[ ${BREAKDOWN:-0} == 1 ]]; then
  "$wine" "$bench_exe" --port "$port" --breakdown 1 --mb "$MB" </dev/null
fi
"$wine" "$bench_exe" --port "$port" --mb "$MB" --pairs "$PAIRS" </dev/null | tr -d '\r'

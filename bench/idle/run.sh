#!/usr/bin/env bash
# Idle cost of the main loop: CPU time of CVInstall.exe (plus its wineserver) over 10 s of idling,
# against the same measurement of a Wine process that only blocks in a wait, in one run.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${IDLE_SECONDS:-10}

# shellcheck disable=SC1091
source bench/rig.sh
bench_setup CVInstall IdleBaseline
# shellcheck disable=SC1091
source "$RIG_DIR/bench/env"

ticks() {  # utime + stime of a process, in clock ticks
  awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0
}
# The process of this benchmark's own prefix whose command line matches: another Wine process of
# that name elsewhere on the machine is not ours to measure.
own_pid() {
  local p
  for p in $(pgrep -f "$1"); do
    if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      echo "$p"
      return
    fi
  done
}
# Starts a program, lets it settle, and prints the CPU seconds it and the server used over the
# measuring window.
measure() {
  local exe=$1 name pid srv a b sa sb
  name=$(basename "$exe")
  "$WINELOADER" "$exe" &
  sleep 3
  pid=$(own_pid "$name")
  srv=$(own_pid wineserver)
  if [[ -z $pid || -z $srv ]]; then
    echo "idle: $name or its wineserver not found in $WINEPREFIX" >&2
    exit 1
  fi
  a=$(ticks "$pid")
  sa=$(ticks "$srv")
  sleep "$seconds"
  b=$(ticks "$pid")
  sb=$(ticks "$srv")
  "$WINESERVER" -k 2>/dev/null || true
  wait 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  local hz
  hz=$(getconf CLK_TCK)
  awk -v p=$((b - a)) -v s=$((sb - sa)) -v hz="$hz" 'BEGIN { printf "%.3f %.3f\n", p / hz, s / hz }'
}

read -r base_prog base_srv < <(measure "$bin/bench/IdleBaseline.exe")
"$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
read -r cv_prog cv_srv < <(measure "$bin/src/CVInstall.exe")

awk -v bp="$base_prog" -v bs="$base_srv" -v cp="$cv_prog" -v cs="$cv_srv" -v t="$seconds" 'BEGIN {
  b = bp + bs; c = cp + cs
  printf "baseline (blocked in a wait): %.3f s program + %.3f s wineserver = %.2f%% of one core\n", bp, bs, 100 * b / t
  printf "CVInstall idle:               %.3f s program + %.3f s wineserver = %.2f%% of one core\n", cp, cs, 100 * c / t
  printf "idle difference %.2f%% of one core over %d s\n", 100 * (c - b) / t, t
}'

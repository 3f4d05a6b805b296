#!/usr/bin/env bash
# shellcheck disable=SC2030,SC2031
# Brings the Wine test rig up and down: one template prefix per architecture, a copied prefix, an
# own Xvfb display and a persistent wineserver per test group, and the vendor server stand-in.
#
#   tests/rig/rig.sh up [GROUP...]   (default groups: win32 e2e-startup e2e-target e2e-download e2e-install)
#   tests/rig/rig.sh down
#   tests/rig/rig.sh status
#   tests/rig/rig.sh arch            (prints 32 or 64: the Wine this machine runs)
#
# A group named "...-dpiN" (N = 120, 144 or 192) runs at N dots per inch on a screen the size of
# the work area of a common laptop or monitor at that scaling (see group_screen).
#
# State lives under ${RIG_DIR:-<repo>/build/rig}. The vendor server serves ${CVI_PACKAGES:-the
# packages folder of the build that this machine's Wine runs: build/windows or build/windows-x64}.
# Running `up` again gives each named group a fresh prefix; the template is kept and reused.
set -euo pipefail

REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
RIG_DIR="${RIG_DIR:-$REPO/build/rig}"
DEFAULT_GROUPS=(win32 win32-cp932 e2e-startup e2e-target e2e-download e2e-install e2e-release
  e2e-install-dpi120 e2e-install-dpi144 e2e-install-dpi192)
VENDOR_PORT="${CVI_VENDOR_PORT:-47801}"
WINE_DIR=/usr/lib/wine

log() { echo "rig: $*" >&2; }
die() {
  echo "rig: error: $*" >&2
  exit 1
}

# 32-bit Wine only when this machine really executes i386 code; some kernels have the 32-bit
# emulation switched off although the i386 packages are installed.
detect_arch() {
  # CVI_RIG_ARCH=win64 tries the x86-64 path on a machine that could run 32-bit code too.
  if [[ ${CVI_RIG_ARCH:-} == win64 && -x $WINE_DIR/wine64 ]]; then
    echo win64
  elif [[ -x $WINE_DIR/wine ]] && "$WINE_DIR/wine" --version >/dev/null 2>&1; then
    echo win32
  elif [[ -x $WINE_DIR/wine64 ]]; then
    echo win64
  else
    die "no runnable wine in $WINE_DIR"
  fi
}

wine_for_arch() {
  if [[ $1 == win32 ]]; then echo "$WINE_DIR/wine"; else echo "$WINE_DIR/wine64"; fi
}

wineserver_bin() {
  if [[ -x $WINE_DIR/wineserver64 ]]; then
    echo "$WINE_DIR/wineserver64"
  else
    echo "$WINE_DIR/wineserver32"
  fi
}

# Runs a command with nothing inherited from the caller's stdio: the wine services started on the
# way outlive the command and would otherwise keep a pipe (ctest's, a terminal's) open.
detached() { "$@" </dev/null >/dev/null 2>&1; }

alive() { [[ -n ${1:-} ]] && kill -0 "$1" 2>/dev/null; }

wait_gone() {
  local pid=$1 i
  for ((i = 0; i < 50; i++)); do
    alive "$pid" || return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
}

make_template() {
  local arch=$1 template=$RIG_DIR/template-$1
  if [[ -f $template/.complete ]]; then
    log "template $template reused"
    return
  fi
  local wine server start
  wine=$(wine_for_arch "$arch")
  server=$(wineserver_bin)
  start=$(date +%s%N)
  log "creating template $template"
  rm -rf "$template"
  mkdir -p "$template" "$RIG_DIR/drives"/{cdrom,floppy,network,ramdisk}
  (
    unset DISPLAY
    export WINEPREFIX=$template WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    export WINELOADER=$wine WINESERVER=$server
    detached "$wine" wineboot -i || die "wineboot failed for $template"
    detached "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    detached "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    local letter type
    for pair in r:cdrom a:floppy n:network m:ramdisk; do
      letter=${pair%%:*}
      type=${pair#*:}
      ln -sfn "$RIG_DIR/drives/$type" "$template/dosdevices/$letter:"
      detached "$wine" reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d "$type" /f
    done
    # The registry reaches the prefix's files only when the server exits.
    "$server" -k 2>/dev/null || true
    "$server" -w
  )
  grep -q '"r:"="cdrom"' "$template/system.reg" || die "template registry incomplete"
  touch "$template/.complete"
  log "template ready in $((($(date +%s%N) - start) / 1000000)) ms"
}

stop_group() {
  local dir=$RIG_DIR/$1
  [[ -d $dir ]] || return 0
  if [[ -f $dir/env ]]; then
    (
      # shellcheck disable=SC1091
      source "$dir/env"
      if [[ -d $WINEPREFIX ]]; then
        "$WINESERVER" -k 2>/dev/null || true
        timeout 20 "$WINESERVER" -w 2>/dev/null || true
      fi
    )
  fi
  if [[ -f $dir/xvfb.pid ]]; then
    local pid
    pid=$(cat "$dir/xvfb.pid")
    if alive "$pid"; then
      kill "$pid" 2>/dev/null || true
      wait_gone "$pid"
    fi
    rm -f "$dir/xvfb.pid"
  fi
  rm -f "$dir/env"
  if mountpoint -q "$dir/small-drive" 2>/dev/null; then
    umount "$dir/small-drive" 2>/dev/null || umount -l "$dir/small-drive" 2>/dev/null || true
  fi
}

# F: is a drive of 1 MB, too small for a package, for the tests of a full disk. Mounting a tmpfs
# needs root; elsewhere F: stays unmapped and those tests say that they were skipped.
map_small_drive() {
  local dir=$1
  mkdir -p "$dir/small-drive"
  if mount -t tmpfs -o size=1m tmpfs "$dir/small-drive" 2>/dev/null; then
    ln -sfn "$dir/small-drive" "$dir/prefix/dosdevices/f:"
  else
    log "note: no tmpfs for F: here (mounting is not permitted); the full-disk tests will skip"
  fi
}

# "DPI WIDTHxHEIGHT" of a group. Without a window manager the work area is the whole screen, so a
# screen of a work area's size stands for a display with its task bar: 1366x768 at 125 %, full HD
# at 150 % and 2560x1440 at 200 %, each above a task bar.
group_screen() {
  case $1 in
  *-dpi120) echo "120 1366x718" ;;
  *-dpi144) echo "144 1920x1008" ;;
  *-dpi192) echo "192 2560x1344" ;;
  *-dpi*) die "no screen known for group '$1' (use -dpi120, -dpi144 or -dpi192)" ;;
  *) echo "96 1280x1024" ;;
  esac
}

# Each group gets its own display, numbered from CVI_RIG_DISPLAY_BASE up so that the rig keeps
# clear of displays other people pick by hand.
start_xvfb() {
  local dir=$1 screen=$2 n i pid
  for ((n = ${CVI_RIG_DISPLAY_BASE:-70}; n < ${CVI_RIG_DISPLAY_BASE:-70} + 50; n++)); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    rm -f "$dir/display"
    setsid Xvfb ":$n" -displayfd 3 -nolisten tcp -screen 0 "${screen}x24" \
      3>"$dir/display" </dev/null >"$dir/xvfb.log" 2>&1 &
    pid=$!
    echo "$pid" >"$dir/xvfb.pid"
    for ((i = 0; i < 100; i++)); do
      if [[ -s $dir/display ]]; then
        echo ":$(head -n1 "$dir/display")"
        return
      fi
      alive "$pid" || break
      sleep 0.05
    done
    alive "$pid" && kill "$pid" 2>/dev/null
  done
  die "Xvfb did not start (see $dir/xvfb.log)"
}

start_group() {
  local group=$1 arch=$2 dir=$RIG_DIR/$1 display wine server display_setting dpi screen
  display_setting=$(group_screen "$group")
  dpi=${display_setting% *} screen=${display_setting#* }
  stop_group "$group"
  mkdir -p "$dir"
  rm -rf "$dir/prefix"
  cp -a "$RIG_DIR/template-$arch" "$dir/prefix"
  map_small_drive "$dir"
  display=$(start_xvfb "$dir" "$screen")
  wine=$(wine_for_arch "$arch")
  server=$(wineserver_bin)
  cat >"$dir/env" <<EOF
export WINEPREFIX='$dir/prefix'
export WINEARCH='$arch'
export DISPLAY='$display'
export WINEDEBUG='-all'
export WINEDLLOVERRIDES='mscoree,mshtml='
export WINELOADER='$wine'
export WINESERVER='$server'
export CVI_RIG_GROUP='$group'
EOF
  # Wine takes its ANSI code page from the Unix locale: a "-cp932" group runs in Japanese (932).
  if [[ $group == *-cp932 ]]; then
    echo "export LANG='ja_JP.UTF-8' LC_ALL='ja_JP.UTF-8'" >>"$dir/env"
  fi
  (
    # shellcheck disable=SC1091
    source "$dir/env"
    # A persistent server keeps each test at tens of milliseconds instead of seconds; the first
    # wine process starts the background services, detached from any caller's pipes.
    detached "$server" -p
    # Programs read the display's resolution when they start.
    if [[ $dpi != 96 ]]; then
      local key
      for key in 'HKCU\Control Panel\Desktop' 'HKCC\Software\Fonts'; do
        detached "$wine" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f
      done
    fi
    detached "$wine" cmd /c exit 0
  )
  log "group $group up: prefix $dir/prefix, display $display ($screen, $dpi dpi)"
}

start_vendor_server() {
  local script=$REPO/tools/vendor_server/vendor_server.py pidfile=$RIG_DIR/vendor_server.pid
  [[ -f $script ]] || return 0
  if [[ -f $pidfile ]] && alive "$(cat "$pidfile")"; then
    log "vendor server already running (pid $(cat "$pidfile"))"
    return
  fi
  local preset=windows
  [[ $(cat "$RIG_DIR/arch" 2>/dev/null) == win64 ]] && preset=windows-x64
  local root=${CVI_PACKAGES:-$REPO/build/$preset/packages}
  [[ -f $root/CelvaraStudio_v3.9.exe ]] ||
    log "warning: no packages in $root yet (cmake --build --preset $preset --target packages)"
  mkdir -p "$root"
  # Beside it: https on the next two ports, proxies on the two after, and plain http on 127.0.0.2.
  setsid python3 -u "$script" --port "$VENDOR_PORT" --root "$root" --tls-port $((VENDOR_PORT + 1)) \
    --proxy-port $((VENDOR_PORT + 3)) --also-on 127.0.0.2 \
    </dev/null >"$RIG_DIR/vendor_server.log" 2>&1 &
  local pid=$! i
  echo "$pid" >"$pidfile"
  # It says "ready <port>" once it listens, its certificates made (a second or so on a busy
  # machine); a port taken by someone else's server ends it.
  for ((i = 0; i < 300; i++)); do
    if grep -q '^ready' "$RIG_DIR/vendor_server.log" 2>/dev/null; then
      log "vendor server on 127.0.0.1:$VENDOR_PORT serving $root"
      return
    fi
    alive "$pid" || break
    sleep 0.05
  done
  alive "$pid" && kill "$pid" 2>/dev/null
  rm -f "$pidfile"
  log "warning: vendor server did not start on port $VENDOR_PORT (see $RIG_DIR/vendor_server.log)"
}

stop_vendor_server() {
  local pidfile=$RIG_DIR/vendor_server.pid pid
  [[ -f $pidfile ]] || return 0
  pid=$(cat "$pidfile")
  if alive "$pid"; then
    kill "$pid" 2>/dev/null || true
    wait_gone "$pid"
  fi
  rm -f "$pidfile"
}

known_groups() {
  local d
  for d in "$RIG_DIR"/*/; do
    [[ -d $d ]] || continue
    d=${d%/}
    [[ $(basename "$d") == template-* || $(basename "$d") == drives || $(basename "$d") == packages ]] && continue
    [[ -f $d/env || -f $d/xvfb.pid ]] && basename "$d"
  done
  return 0
}

cmd_up() {
  local groups=("$@") arch
  ((${#groups[@]})) || groups=("${DEFAULT_GROUPS[@]}")
  mkdir -p "$RIG_DIR"
  arch=$(detect_arch)
  echo "$arch" >"$RIG_DIR/arch"
  log "architecture $arch"
  make_template "$arch"
  local group
  for group in "${groups[@]}"; do
    [[ $group =~ ^[A-Za-z0-9_.-]+$ ]] || die "bad group name '$group'"
    start_group "$group" "$arch"
  done
  start_vendor_server
}

cmd_down() {
  [[ -d $RIG_DIR ]] || return 0
  local group
  for group in $(known_groups); do
    stop_group "$group"
    log "group $group down"
  done
  stop_vendor_server
}

cmd_status() {
  [[ -f $RIG_DIR/arch ]] && echo "arch $(cat "$RIG_DIR/arch")"
  local group
  for group in $(known_groups); do
    local state=down
    [[ -f $RIG_DIR/$group/env ]] && alive "$(cat "$RIG_DIR/$group/xvfb.pid" 2>/dev/null)" && state=up
    echo "$group $state"
  done
  [[ -f $RIG_DIR/vendor_server.pid ]] && alive "$(cat "$RIG_DIR/vendor_server.pid")" &&
    echo "vendor server up"
  return 0
}

case "${1:-}" in
up)
  shift
  cmd_up "$@"
  ;;
down) cmd_down ;;
status) cmd_status ;;
arch) [[ $(detect_arch) == win32 ]] && echo 32 || echo 64 ;;
*)
  echo "usage: $0 up [GROUP...] | down | status | arch" >&2
  exit 2
  ;;
esac

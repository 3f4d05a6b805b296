#!/usr/bin/env bash
# Bytes of the programs that ship, section by section: the windows-release CVInstall.exe and the
# self-extractor stub of this checkout beside the same two built from a baseline commit (default:
# the last one of main before the programs were built lean), each in a build folder of its own. The
# release preset's package digests, sizes and longest names are placeholders: the programs' sizes
# do not depend on them.
#
#   SIZE_BASELINE    the commit to compare with
#   BENCH_SIZE_DIR   where the baseline's sources and both builds go (default build/bench-size)
set -euo pipefail
cd "$(dirname "$0")/../.."
baseline=${SIZE_BASELINE:-78f2881037d089ad83906a0a19fcfc99995fca62}
dir=${BENCH_SIZE_DIR:-$PWD/build/bench-size}
digest=$(printf '0%.0s' {1..64})

build() {  # SOURCE BUILD
  (cd "$1" && cmake --preset windows-release -B "$2" -DCVINSTALL_FULL_PACKAGE_SHA256="$digest" \
    -DCVINSTALL_UPGRADE_PACKAGE_SHA256="$digest" -DCVINSTALL_FULL_PACKAGE_SIZE=1 \
    -DCVINSTALL_UPGRADE_PACKAGE_SIZE=1 -DCVINSTALL_FULL_PACKAGE_DEEPEST_PATH=1 \
    -DCVINSTALL_UPGRADE_PACKAGE_DEEPEST_PATH=1 -Wno-dev >/dev/null)
  cmake --build "$2" -j2 --target CVInstall sfx_stub >/dev/null
}

# shellcheck disable=SC1091
source bench/rig.sh
bench_sources "$baseline" "$dir/baseline-src"
build "$dir/baseline-src" "$dir/baseline"
build "$PWD" "$dir/current"

programs=("CVInstall=src/CVInstall.exe" "stub=tools/sfx/SfxStub.exe")
columns=()
for program in "${programs[@]}"; do
  columns+=("${program%%=*} before=$dir/baseline/${program#*=}" "${program%%=*}=$dir/current/${program#*=}")
done
echo "bytes in the file, windows-release, before: ${baseline:0:12}"
python3 bench/size/pe_sizes.py "${columns[@]}"

#!/usr/bin/env bash
# Installs every tool the build and the tests need on a fresh Debian 12 machine. Idempotent and
# non-interactive; run as root (or with sudo available).
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake make g++ googletest python3 clang-format osslsigncode openssl
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 zlib1g-dev
  wine wine32:i386 wine64
  locales xvfb xauth x11-utils xdotool imagemagick fonts-dejavu-core fonts-wine fonts-liberation
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq -o Dpkg::Use-Pty=0 --no-install-recommends "${missing[@]}" >/dev/null
fi
# The code-page tests run Wine in a Japanese locale (code page 932).
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  $SUDO sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
echo "setup: tools present"

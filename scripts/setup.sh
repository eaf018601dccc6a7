#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need (Debian 12).
# Idempotent: when every package is already there it prints nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  nginx-light tinyproxy curl python3-pyftpdlib python3-openssl vsftpd libssl-dev minisign
  xvfb xauth x11-utils x11-apps xclip xdotool imagemagick fonts-dejavu-core fonts-liberation2 fonts-comic-neue
  util-linux procps time strace lintian
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# Debian starts packaged daemons on install; the tests run their own on loopback ports.
for svc in nginx tinyproxy vsftpd; do
  "${sudo_cmd[@]}" systemctl disable --now "$svc" >/dev/null 2>&1 || "${sudo_cmd[@]}" service "$svc" stop >/dev/null 2>&1 || true
done

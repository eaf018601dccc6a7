#!/usr/bin/env bash
# Writes a tiny demo product of the given version: with --version it prints it, otherwise
# it shows it in a small window (xmessage) or on the terminal.
set -euo pipefail
version=$1 out=$2
cat > "$out" <<PRODUCT
#!/bin/sh
if [ "\${1:-}" = --version ]; then echo "Quillon $version"; exit 0; fi
if [ -n "\${DISPLAY:-}" ] && command -v xmessage >/dev/null; then
  exec xmessage -center -timeout 10 "Quillon $version is running"
fi
echo "Quillon $version is running"
PRODUCT
chmod 755 "$out"

#!/usr/bin/env bash
# Builds the project for speed and runs the download benchmark against curl.
#   scripts/bench.sh [SIZE_MIB ...]     (default: 64 1024)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench --target zorv_download_bench zorv_ftp_bench
cd build-bench && ./bench/zorv_download_bench "$@"

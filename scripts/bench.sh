#!/usr/bin/env bash
# Builds the project for speed and runs the transfer benchmark against curl: the HTTP and
# HTTPS downloads, a signed build checked and installed, the FTP download and the FTP upload
# at every size, with a table of the results written to build-bench/transfer-bench-TIME.md
# and .csv.
#   scripts/bench.sh [--rounds N] [--only http|https|signed|ftp-down|ftp-up] [SIZE_MIB ...]
#                    (default: 5 rounds at 64 256 1024)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZORV_BUILD_BENCH=ON \
    "${launcher[@]}" >/dev/null
cmake --build build-bench --target zorv_transfer_bench
cd build-bench && ./bench/zorv_transfer_bench "$@"

#!/bin/sh
# Builds bench_crypt optimised and runs it: encoding and decoding a 100 MiB
# file, flushed to the disk, against cp and sync of the same file.
# usage: bench/crypt_vs_copy.sh [BUILD_DIR] [benchmark options...]
# TMPDIR chooses the disk that is measured.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-release"}
[ $# -gt 0 ] && shift
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DKUV_BUILD_TESTS=OFF >/dev/null
fi
ninja -C "$build" -j2 bench_crypt >/dev/null
exec "$build/bin/bench_crypt" "$@"

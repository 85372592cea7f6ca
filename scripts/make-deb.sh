#!/usr/bin/env bash
# Makes the Debian package BUILD/kuvandoro_VERSION_ARCH.deb: a Release build
# of both programs for a system-wide install under /usr, with Debian's
# hardening flags, packed by CPack. Install it with
#   sudo apt-get install ./BUILD/kuvandoro_*.deb
# Usage: scripts/make-deb.sh [BUILD]   (default: build-deb)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package

build="${1:-build-deb}"
# Debian's compiler and linker flags: stack protector, fortified calls,
# read-only relocations bound at start. Given on the command line, not through
# the environment, so that a build folder made before takes them too.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DKUV_SYSTEM_INSTALL=ON -DKUV_BUILD_TESTS=OFF -DKUV_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
ninja -C "$build" -j"$(nproc)"
rm -f "$build"/kuvandoro_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/kuvandoro_*.deb

#!/usr/bin/env bash
# Installs what is missing, builds a Release build, installs the diary into
# the per-user program folder and starts it. The diary's entries live in that
# program folder's "data" folder, outside the source and build trees, so
# rebuilding, cleaning or re-cloning never touches them.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh run

prefix="${KUVANDORO_HOME:-$HOME/.local/opt/kuvandoro}"
share="${XDG_DATA_HOME:-$HOME/.local/share}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C build kuvandoro kuvandoro-cli
cmake --install build --prefix "$prefix" >/dev/null

# The desktop's application menu.
if [ -f packaging/kuvandoro.desktop ]; then
  mkdir -p "$share/applications" "$share/icons/hicolor/256x256/apps"
  sed "s|@BINDIR@|$prefix|g" packaging/kuvandoro.desktop >"$share/applications/kuvandoro.desktop"
  if [ -f ui/assets/kuvandoro.png ]; then
    cp ui/assets/kuvandoro.png "$share/icons/hicolor/256x256/apps/kuvandoro.png"
  fi
fi

echo "Kuvandoro is installed in $prefix (entries in $prefix/data)."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: start it later with $prefix/kuvandoro" >&2
  exit 0
fi
exec "$prefix/kuvandoro"

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

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKUV_SYSTEM_INSTALL=OFF >/dev/null
ninja -C build kuvandoro kuvandoro-cli
cmake --install build --prefix "$prefix" >/dev/null

# The desktop's application menu, under the application ID that the window
# gives the desktop; the names an earlier install used go.
id=org.example.kuvandoro.Kuvandoro
mkdir -p "$share/applications"
sed "s|@BINDIR@|$prefix|g" "packaging/$id.desktop.in" >"$share/applications/$id.desktop"
for icon in packaging/icons/hicolor/*/apps/"$id".*; do
  dest="$share/icons/${icon#packaging/icons/}"
  mkdir -p "$(dirname "$dest")"
  cp "$icon" "$dest"
done
rm -f "$share/applications/kuvandoro.desktop" "$share/icons/hicolor/256x256/apps/kuvandoro.png"

echo "Kuvandoro is installed in $prefix (entries in $prefix/data)."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: start it later with $prefix/kuvandoro" >&2
  exit 0
fi
exec "$prefix/kuvandoro"

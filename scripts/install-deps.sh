#!/usr/bin/env bash
# Installs the Debian packages that a purpose needs and that are missing.
# Usage: scripts/install-deps.sh run|test|screenshots|package
set -euo pipefail

build_pkgs=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libxxhash-dev)
run_pkgs=(fonts-ipafont-gothic fontconfig qt6-translations-l10n)
# Japanese typing in the windows: the fcitx5 input method's plug-in for Qt 6.
ime_pkgs=(fcitx5-frontend-qt6)
# Making and checking the Debian package, its manual pages and its desktop metadata.
pkg_pkgs=(dpkg-dev file scdoc desktop-file-utils appstream lintian bash-completion)
test_pkgs=(clang-format libgtest-dev libbenchmark-dev xvfb xauth tzdata clang libclang-rt-14-dev)
# The real window driven on a private X server (typing, then a kill).
test_pkgs+=(xdotool)
shot_pkgs=(xvfb xauth imagemagick xdotool x11-utils)
# Backups (libarchive, libcrypto's SHA-256) and the PDF tests (poppler's tools).
build_pkgs+=(libarchive-dev libssl-dev)
# Earlier versions of the entries are kept compressed.
build_pkgs+=(zlib1g-dev)
test_pkgs+=(poppler-utils)
# The Markdown export tests render with the CommonMark reference.
test_pkgs+=(cmark)
# The search benchmark's floor: ripgrep over the same entry files.
test_pkgs+=(ripgrep)
# The strong lock (Argon2id, XChaCha20-Poly1305).
build_pkgs+=(libsodium-dev)
# The strong lock's files read by an independent reader (libsodium through PyNaCl).
test_pkgs+=(python3-nacl)

case "${1:-run}" in
  run) wanted=("${build_pkgs[@]}" "${run_pkgs[@]}" "${ime_pkgs[@]}" libgtest-dev libbenchmark-dev) ;;
  test) wanted=("${build_pkgs[@]}" "${run_pkgs[@]}" "${test_pkgs[@]}" "${pkg_pkgs[@]}") ;;
  screenshots) wanted=("${build_pkgs[@]}" "${run_pkgs[@]}" "${shot_pkgs[@]}") ;;
  package) wanted=("${build_pkgs[@]}" "${run_pkgs[@]}" "${pkg_pkgs[@]}") ;;
  *) echo "usage: $0 run|test|screenshots|package" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

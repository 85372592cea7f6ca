#!/usr/bin/env bash
# Checks a package made by scripts/make-deb.sh without installing it: lintian,
# the desktop entry and AppStream validators, the versions agreeing, the bash
# completion, and both programs run from a copy unpacked into a temporary root
# with a home of its own, so the machine is left as it was.
# Usage: scripts/check-deb.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "$1")
id=org.example.kuvandoro.Kuvandoro
tmp=$(mktemp -d)
gui=""
cleanup() {
  if [ -n "$gui" ]; then kill -KILL "$gui" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "check-deb: $*" >&2; exit 1; }

echo "-- lintian"
if ! lintian --fail-on error,warning "$deb" >"$tmp/lintian.log" 2>&1; then
  cat "$tmp/lintian.log" >&2
  fail "lintian reports errors or warnings"
fi

root="$tmp/root"
dpkg-deb -x "$deb" "$root"
triplet=$(gcc -print-multiarch)
share="$root/usr/share"
for f in bin/kuvandoro bin/kuvandoro-cli share/kuvandoro/kuvandoro-fonts.conf \
  share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/scalable/apps/$id.svg share/man/man1/kuvandoro.1.gz \
  share/man/man1/kuvandoro-cli.1.gz share/bash-completion/completions/kuvandoro-cli \
  share/doc/kuvandoro/copyright share/doc/kuvandoro/changelog.gz \
  lib/$triplet/kuvandoro/kuvandoro-archive.so lib/$triplet/kuvandoro/kuvandoro-print.so; do
  [ -f "$root/usr/$f" ] || fail "missing /usr/$f"
done
for size in 16 32 48 64 128 256; do
  file -b "$share/icons/hicolor/${size}x$size/apps/$id.png" | grep -q "PNG image data, $size x $size" ||
    fail "no $size px icon"
done

echo "-- desktop entry and AppStream metadata"
desktop-file-validate "$share/applications/$id.desktop"
grep -qx "Exec=/usr/bin/kuvandoro" "$share/applications/$id.desktop" || fail "desktop Exec"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml"

echo "-- versions and relations"
version=$(dpkg-deb -f "$deb" Version)
grep -q "<release version=\"$version\"" "$share/metainfo/$id.metainfo.xml" ||
  fail "the metadata's newest release is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for p in fonts-ipafont-gothic libqt6widgets6 qt6-qpa-plugins libsodium23; do
  [[ $depends == *"$p"* ]] || fail "Depends lacks $p: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
[[ $recommends == *"qt6-translations-l10n"* && $recommends == *"fcitx5-frontend-qt6 | ibus"* ]] ||
  fail "Recommends: $recommends"

# The programs see a home of their own and no display.
export HOME="$tmp/home" XDG_DATA_HOME="$tmp/home/data" XDG_CONFIG_HOME="$tmp/home/config" \
  XDG_CACHE_HOME="$tmp/home/cache" XDG_RUNTIME_DIR="$tmp/run" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
bin="$root/usr/bin"

echo "-- the programs, unpacked"
for prog in kuvandoro kuvandoro-cli; do
  shown=$("$bin/$prog" --version)
  # The version the programs show, 2.00β, is written 2.00~beta in a package.
  [ "$shown" = "$prog ${version/\~beta/β}" ] || fail "$prog --version says '$shown', package $version"
  "$bin/$prog" --help | grep -q "^usage: $prog" || fail "$prog --help"
done
# A sample diary: a plain entry in code page 932 with CR LF, and a locked one.
diary="$tmp/diary"
mkdir -p "$diary/2001"
printf '\x93\xfa\x8b\x4c\r\nline two\r\n' >"$diary/2001/0117.dia"
printf 'locked\r\n' >"$diary/2001/0118.xda"
"$bin/kuvandoro-cli" encode "$diary/2001/0118.xda" pw >/dev/null
[ "$("$bin/kuvandoro-cli" show --data "$diary" 2001-01-17)" = $'日記\nline two' ] || fail "show"
[ "$("$bin/kuvandoro-cli" show --data "$diary" --password pw 2001-01-18)" = "locked" ] ||
  fail "show of a locked entry"
# A package keeps the diary in the per-user data folder, and reading creates nothing.
"$bin/kuvandoro-cli" settings 2>/dev/null | grep -qx "DataPath=$XDG_DATA_HOME/kuvandoro" ||
  fail "the settings are not in the per-user data folder"
[ ! -e "$XDG_DATA_HOME" ] || fail "reading the settings created $XDG_DATA_HOME"

echo "-- the window, unpacked"
# Started as the desktop entry says, offscreen: it must find the package's
# font configuration from its own place and write nothing at start-up; when
# ended it writes its settings to the per-user folder alone.
QT_QPA_PLATFORM=offscreen FC_DEBUG=1024 "$bin/kuvandoro" >"$tmp/gui.log" 2>&1 &
gui=$!
sleep 3
kill -0 "$gui" 2>/dev/null || fail "the window did not start: $(cat "$tmp/gui.log")"
[ ! -e "$XDG_DATA_HOME" ] || fail "start-up created $XDG_DATA_HOME"
grep -q "$share/kuvandoro/kuvandoro-fonts.conf" "$tmp/gui.log" ||
  fail "the font configuration was not loaded"
# The folder is made here so that only where the settings go is checked.
mkdir -p "$XDG_DATA_HOME/kuvandoro"
kill -TERM "$gui"
for _ in $(seq 50); do kill -0 "$gui" 2>/dev/null || break; sleep 0.2; done
kill -0 "$gui" 2>/dev/null && fail "the window did not end on SIGTERM"
gui=""
[ -f "$XDG_DATA_HOME/kuvandoro/diary.ini" ] || fail "no settings in the per-user folder"
[ ! -e "$bin/data" ] || fail "a data folder beside the program"

echo "-- the archive module, unpacked"
# The next start makes the day's automatic backup through the module, found
# where the package puts it relative to the program.
QT_QPA_PLATFORM=offscreen "$bin/kuvandoro" >"$tmp/gui.log" 2>&1 &
gui=$!
backups="$XDG_DATA_HOME/kuvandoro/backups"
for _ in $(seq 100); do
  compgen -G "$backups/kuvandoro-*.tar.gz" >/dev/null && break
  sleep 0.2
done
kill -TERM "$gui"
wait "$gui" || true
gui=""
compgen -G "$backups/kuvandoro-*.tar.gz" >/dev/null ||
  fail "no automatic backup through the module: $(cat "$tmp/gui.log")"

echo "-- bash completion"
completion="$share/bash-completion/completions/kuvandoro-cli"
complete_line() {
  bash -c 'source /usr/share/bash-completion/bash_completion; source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _kuvandoro_cli kuvandoro-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    echo "${COMPREPLY[*]}"' _ "$completion" "$@"
}
[[ " $(complete_line kuvandoro-cli '') " == *" show "*" profile --help --version "* ]] ||
  fail "completion of commands"
[ "$(complete_line kuvandoro-cli se)" = "search settings" ] || fail "completion of a command"
[ "$(complete_line kuvandoro-cli show --r)" = "--raw" ] || fail "completion of an option"
[ "$(complete_line kuvandoro-cli export --format '')" = "txt md html pdf" ] || fail "--format"
[ -z "$(complete_line kuvandoro-cli show '')" ] || fail "a date must be left free"

echo "check-deb: $(basename "$deb") is fine"

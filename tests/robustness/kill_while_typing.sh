#!/usr/bin/env bash
# Typing survives a kill of the real window: on a private X server the diary
# is started, words are typed into the upper pane, and once the draft is on
# disk the program is killed with SIGKILL. The next start must bring the words
# back, and an ordinary end (SIGTERM, as at a logout) must save them as the
# day's entry. Run twice: a plain diary, and one under a password, where no
# typed word may lie plain in any file the program wrote.
#
#   kill_while_typing.sh BIN_DIR        (kuvandoro and kuvandoro-cli in BIN_DIR)
#
# Exits 77 (skipped) when Xvfb or xdotool is missing.
set -uo pipefail

bin_dir=$(realpath "${1:?usage: kill_while_typing.sh BIN_DIR}")
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "kill_while_typing: $tool is missing; skipped"; exit 77; }
done
settings_key=718306925461
words_plain="walked to the harbour before the rain"
words_locked="a secret kept under the password"

tmp=$(mktemp -d /tmp/kuv-kill-typing.XXXXXX)
xvfb_pid=
app_pid=
cleanup() {
  [[ -n $app_pid ]] && kill -9 "$app_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "kill_while_typing: $*" >&2; exit 1; }

Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $tmp/display ]] && break; sleep 0.1; done
[[ -s $tmp/display ]] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$tmp/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

window() {  # window TITLE-REGEX -> id of the visible window
  timeout 60 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null | head -n1
}
start() {  # start PROGRAM-FOLDER
  "$1/kuvandoro" >>"$tmp/program.log" 2>&1 &
  app_pid=$!
}
unlock() {  # unlock PASSWORD: answers the password prompt when one comes
  local prompt
  prompt=$(window '^パスワードチェック$')
  [[ -n $prompt ]] || fail "no password prompt"
  xdotool windowfocus --sync "$prompt"
  xdotool type --delay 40 "$1"
  xdotool key Return
}
main_window() {
  local id
  id=$(window '^Tessarine$')
  [[ -n $id ]] || fail "the main window did not appear"
  echo "$id"
}
today=$(date +%Y-%m-%d)

run() {  # run NAME PASSWORD WORDS
  local name=$1 password=$2 words=$3
  local prog="$tmp/$name/program"
  export XDG_DATA_HOME="$tmp/$name/data-home" XDG_STATE_HOME="$tmp/$name/state"
  mkdir -p "$prog/data"
  cp "$bin_dir/kuvandoro" "$prog/"
  [[ -f $bin_dir/kuvandoro-fonts.conf ]] && cp "$bin_dir/kuvandoro-fonts.conf" "$prog/"
  if [[ -n $password ]]; then
    local ini="$prog/data/diary.ini"
    "$bin_dir/kuvandoro-cli" profile set "$ini" SYSTEM PASSWORD "$password" >/dev/null &&
      "$bin_dir/kuvandoro-cli" profile set "$ini" SYSTEM USEPASSWORD 1 >/dev/null &&
      "$bin_dir/kuvandoro-cli" encode "$ini" "$settings_key" >/dev/null || fail "$name: no settings"
  fi

  start "$prog"
  [[ -n $password ]] && unlock "$password"
  local id
  id=$(main_window)
  xdotool windowfocus --sync "$id"
  # A click in the upper pane, which fills the top half under the tool bar.
  xdotool mousemove --window "$id" 300 150 click 1
  sleep 0.3
  xdotool type --delay 25 "$words"
  local draft=
  for _ in $(seq 150); do
    draft=$(find "$XDG_STATE_HOME" -name '*.draft' -type f 2>/dev/null | head -n1)
    [[ -n $draft ]] && break
    sleep 0.1
  done
  [[ -n $draft ]] || fail "$name: no draft was written while typing"
  kill -9 "$app_pid"
  wait "$app_pid" 2>/dev/null
  app_pid=
  if [[ -n $password ]]; then
    local plain
    plain=$(grep -rlF "secret" "$tmp/$name" --exclude=kuvandoro --exclude=program.log 2>/dev/null)
    [[ -z $plain ]] || fail "$name: typed words lie plain in $plain"
  fi

  start "$prog"
  [[ -n $password ]] && unlock "$password"
  main_window >/dev/null
  sleep 1
  kill -TERM "$app_pid"
  wait "$app_pid" 2>/dev/null
  app_pid=
  local args=(show --app-dir "$prog")
  [[ -n $password ]] && args+=(--password "$password")
  local saved
  saved=$("$bin_dir/kuvandoro-cli" "${args[@]}" "$today" 2>&1)
  [[ $saved == *"$words"* ]] || fail "$name: the entry after the restart holds '$saved'"
  [[ -z $(find "$XDG_STATE_HOME" -name '*.draft' -type f 2>/dev/null) ]] ||
    fail "$name: the draft stayed after its text was saved"
  echo "kill_while_typing: $name: the typed words came back and were saved"
}

run plain "" "$words_plain"
run locked "diary" "$words_locked"

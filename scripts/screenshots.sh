#!/usr/bin/env bash
# Pictures of the diary's windows for the README.
#
#   scripts/screenshots.sh [PATH/TO/kuvandoro]     (default: build/bin/kuvandoro)
#
# Runs the program on a private X server (Xvfb) from a temporary program
# folder with a small sample diary, opens the windows with the keyboard the
# way a user would (xdotool), and writes docs/screenshots/main_window.png,
# settings_dialog.png, about_dialog.png, search_window.png, every_year_window.png
# and password_prompt.png (ImageMagick's import); stats_window*.png show the
# 記録 window over a 30-year diary from bench's kuv_make_diary, light, dark and
# at twice the size. Two more starts show the main window under a dark colour scheme
# (main_window_dark.png) and at twice the size (main_window_scale2.png,
# QT_SCALE_FACTOR=2). A last start with encryption switched on in the
# settings file shows the password prompt; that needs kuvandoro-cli beside
# the program.
#
# The dark start is a KDE Plasma desktop as Qt sees it: XDG_CURRENT_DESKTOP=KDE
# makes Qt use its own KDE platform theme, which reads the colour scheme
# (Breeze Dark here) from kdeglobals in XDG_CONFIG_HOME. The program has no
# dark mode of its own; it follows whatever palette the desktop gives Qt
# (on GNOME through the qt6-gtk-platformtheme package).
# Needs the Debian packages xvfb, xdotool, imagemagick and fonts-ipafont-gothic.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "${1:-$root/build/bin/kuvandoro}")
cli="$(dirname "$bin")/kuvandoro-cli"
out="$root/docs/screenshots"
settings_key=718306925461

for tool in Xvfb xdotool import iconv; do
  command -v "$tool" >/dev/null || { echo "screenshots.sh: $tool is missing" >&2; exit 2; }
done
[[ -x $bin ]] || { echo "screenshots.sh: no program at $bin (build it first)" >&2; exit 2; }

tmp=$(mktemp -d /tmp/kuvandoro-shots.XXXXXX)
xvfb_pid=
app_pid=
cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# --- A private X server --------------------------------------------------------
Xvfb -displayfd 9 -screen 0 1600x1200x24 -nolisten tcp 9>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $tmp/display ]] && break; sleep 0.1; done
[[ -s $tmp/display ]] || { echo "screenshots.sh: Xvfb did not start" >&2; cat "$tmp/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$tmp/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
# The windows as a Japanese desktop shows them: dates, weekday and month names
# from the Japanese locale. The locale is compiled into the scratch folder when
# the machine has none, so that the C library (and xdotool's title matching)
# runs in UTF-8 too.
export LANG=ja_JP.UTF-8
if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
  mkdir -p "$tmp/locale"
  localedef -i ja_JP -f UTF-8 "$tmp/locale/ja_JP.UTF-8"
  export LOCPATH="$tmp/locale"
fi
# The sample diary's automatic backup stays in the scratch folder.
export XDG_DATA_HOME="$tmp/xdg-data"


# --- A program folder with a sample diary ----------------------------------------
prog="$tmp/program"
mkdir -p "$prog/data"
cp "$bin" "$prog/kuvandoro"
for conf in "$(dirname "$bin")/kuvandoro-fonts.conf" "$root/ui/fonts/kuvandoro-fonts.conf"; do
  if [[ -f $conf ]]; then cp "$conf" "$prog/"; break; fi
done

# Entries are code page 932 text with CR LF line ends: today's in the upper
# pane, the one of the same day a year ago in the lower pane.
entry() {  # entry FOLDER-YEAR MMDD TEXT
  mkdir -p "$prog/data/$1"
  printf '%s' "$3" | sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$prog/data/$1/$2.dia"
}
today_year=$(date +%Y)
mmdd=$(date +%m%d)
last_year=$(date -d '365 days ago' +%Y)
entry "$today_year" "$mmdd" "$(date +%Y/%m/%d) の日記
朝は雨、昼から晴れ。駅前の本屋で新しい手帳を買った。
夜は友人と電話で一時間ほど話す。来月の旅行の予定が決まった。"
entry "$last_year" "$mmdd" "${last_year} 年の今日
一日中、引っ越しの荷造り。段ボールが二十箱を超えた。"
# More years of the same day, and other days, for the search and this day in
# every year.
entry "$((today_year - 2))" "$mmdd" "$((today_year - 2)) 年の今日
初めての一人旅行。駅弁がおいしかった。"
entry "$((today_year - 4))" "$mmdd" "$((today_year - 4)) 年の今日
風邪で一日寝ていた。"
entry_ago() {  # entry_ago DAYS TEXT
  entry "$(date -d "$1 days ago" +%Y)" "$(date -d "$1 days ago" +%m%d)" "$2"
}
entry_ago 40 "夏の旅行の写真を整理した。海の写真が一番多い。"
entry_ago 130 "旅行二日目。朝から雨だったので美術館を回った。"
entry_ago 150 "春の旅行の計画を立てる。行き先は金沢に決めた。"
entry_ago 500 "会社の同僚と日帰り旅行。紅葉がきれいだった。"

# --- Helpers ---------------------------------------------------------------------
wait_window() {  # wait_window TITLE-REGEX -> window id
  local id
  id=$(timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -n1) || true
  [[ -n $id ]] || { echo "screenshots.sh: no window named $1 appeared" >&2; exit 1; }
  echo "$id"
}
shoot() {  # shoot WINDOW FILE
  sleep 0.7  # let the window finish painting
  import -window "$1" "$out/$2"
  echo "wrote docs/screenshots/$2"
}
keys() {  # keys WINDOW KEY... : each key to the focused window, with a pause
  local window=$1
  shift
  xdotool windowfocus --sync "$window"
  for k in "$@"; do xdotool key "$k"; sleep 0.3; done
}
start_program() {  # start_program [VAR=VALUE...]: the program with these in its environment
  env "$@" "$prog/kuvandoro" >"$tmp/program.log" 2>&1 &
  app_pid=$!
}
stop_program() {
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=
}

mkdir -p "$out"

# --- First start: the main window and its dialogs ----------------------------------
start_program
main=$(wait_window '^Tessarine$')
shoot "$main" main_window.png

# Edit menu (Alt, then the second menu; it opens on its first item), its
# sixth item: the settings command (counted from the top, which stays put).
keys "$main" alt Right Return Down Down Down Down Down Return
settings=$(wait_window '^設定変更$')
shoot "$settings" settings_dialog.png
keys "$settings" Tab  # nothing else: the dialog stays as it is
xdotool windowunmap --sync "$settings" 2>/dev/null || true

# Help menu (Alt, then wrapping left to the last menu), "Kuvandoroについて".
keys "$main" alt Left Return Return
about=$(wait_window '^バージョン情報$')
shoot "$about" about_dialog.png
xdotool windowunmap --sync "$about" 2>/dev/null || true

# Edit menu, 検索... (Ctrl+F), with a term typed in. xdotool lends each
# character a spare key of its own: a pause lets the program see the change.
keys "$main" ctrl+f
search=$(wait_window '^日記の検索$')
xdotool windowfocus --sync "$search"
xdotool type --delay 250 "旅行"
shoot "$search" search_window.png
xdotool windowunmap --sync "$search" 2>/dev/null || true

# Edit menu, its eighth item: this day in every year.
keys "$main" alt Right Return Down Down Down Down Down Down Down Return
every=$(wait_window '^毎年の今日$')
shoot "$every" every_year_window.png
stop_program

# --- The main window under a dark colour scheme, and at twice the size -----------
config="$tmp/config"
mkdir -p "$config"
cat >"$config/kdeglobals" <<'EOF'
[General]
ColorScheme=BreezeDark

[Colors:Button]
BackgroundNormal=49,54,59
ForegroundNormal=252,252,252

[Colors:Selection]
BackgroundNormal=61,174,233
ForegroundNormal=252,252,252

[Colors:Tooltip]
BackgroundNormal=49,54,59
ForegroundNormal=252,252,252

[Colors:View]
BackgroundAlternate=35,38,41
BackgroundNormal=27,30,32
ForegroundLink=29,153,243
ForegroundNormal=252,252,252
ForegroundVisited=155,89,182

[Colors:Window]
BackgroundNormal=42,46,50
ForegroundLink=29,153,243
ForegroundNormal=252,252,252
ForegroundVisited=155,89,182
EOF
start_program XDG_CONFIG_HOME="$config" XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5
main=$(wait_window '^Tessarine$')
shoot "$main" main_window_dark.png
stop_program

# Twice as large, the screen holds half as many pixels: start from the
# default place (centred) rather than where the last start was closed.
rm -f "$prog/data/diary.ini"
start_program QT_SCALE_FACTOR=2
main=$(wait_window '^Tessarine$')
shoot "$main" main_window_scale2.png
stop_program

# --- The 記録 window over a generated 30-year diary: light, dark, twice the size -----
maker="$(dirname "$bin")/kuv_make_diary"
if [[ -x $maker ]]; then
  stats_prog="$tmp/program30"
  mkdir -p "$stats_prog"
  cp "$prog/kuvandoro" "$prog"/*.conf "$stats_prog/" 2>/dev/null || true
  cp "$(dirname "$bin")"/kuvandoro-*.so "$stats_prog/" 2>/dev/null || true
  # A few entries are locked under a password the diary does not know.
  "$maker" --years 30 --first-year $((today_year - 29)) --locked-percent 2 --password other \
    --out "$stats_prog/data" >/dev/null
  stats_shot() {  # stats_shot FILE [VAR=VALUE...]: the 記録 window from the 表示 menu
    local file=$1
    shift
    env "$@" "$stats_prog/kuvandoro" >"$tmp/program.log" 2>&1 &
    app_pid=$!
    main=$(wait_window '^Tessarine$')
    keys "$main" alt Right Right Return Return
    stats=$(wait_window '^記録$')
    sleep 2  # the count from the entries' text
    shoot "$stats" "$file"
    stop_program
  }
  stats_shot stats_window.png
  stats_shot stats_window_dark.png XDG_CONFIG_HOME="$config" XDG_CURRENT_DESKTOP=KDE \
    KDE_SESSION_VERSION=5
  stats_shot stats_window_scale2.png QT_SCALE_FACTOR=2
else
  echo "screenshots.sh: $maker is missing; no pictures of the 記録 window" >&2
fi

# --- Second start with encryption on: only the password prompt appears -------------
if [[ -x $cli ]]; then
  ini="$prog/data/diary.ini"
  "$cli" decode "$ini" "$settings_key" >/dev/null 2>&1 || true
  "$cli" profile set "$ini" SYSTEM PASSWORD "diary" >/dev/null
  "$cli" profile set "$ini" SYSTEM USEPASSWORD 1 >/dev/null
  "$cli" encode "$ini" "$settings_key" >/dev/null
  start_program
  prompt=$(wait_window '^パスワードチェック$')
  keys "$prompt" d i a
  shoot "$prompt" password_prompt.png
  stop_program
else
  echo "screenshots.sh: $cli is missing; no picture of the password prompt" >&2
fi

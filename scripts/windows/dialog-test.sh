#!/usr/bin/env bash
# The sound track dialog for real: the Windows zarn-host under Wine on a
# virtual X display opens the plug-in's dialog, and scripted key presses
# answer it as a user would. Down then Return chooses track 2: what the host
# is told and the sound it then gets must be track 2's, as the Linux zarn-host
# gives them with --sound-track 2. Escape cancels: nothing changes. A
# screenshot of the open dialog is kept as OUT_DIR/sound-track-dialog.png.
# Usage: dialog-test.sh WINEPREFIX WINDOWS_TOOL MEDIA_DIR OUT_DIR
# env: ZARN_LINUX_HOST, the Linux zarn-host. Exits 77 (skipped) without it,
# Xvfb or xdotool.
set -euo pipefail

prefix=$1 win_tool=$2 media=$3 out=$4
linux_tool=${ZARN_LINUX_HOST:-}
if [ -z "$linux_tool" ] || ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  echo "needs ZARN_LINUX_HOST, Xvfb and xdotool: skipped"
  exit 77
fi
mkdir -p "$out"
tmp=$(mktemp -d)

# A display of its own: Xvfb picks a free number and writes it.
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$tmp/display")

# Wine as wine-run sets it up, but with the display and a prefix of its own,
# so no server started without a display serves it.
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if command -v wine64 >/dev/null 2>&1; then wine=wine64
elif [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64
else wine=wine
fi
if command -v wineserver >/dev/null 2>&1; then wineserver=wineserver
else wineserver=/usr/lib/wine/wineserver
fi
trap '"$wineserver" -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$tmp"' EXIT
if [ ! -f "$prefix/.zarn-ready" ]; then
  "$wine" wineboot --init </dev/null >/dev/null 2>&1 || true
  "$wineserver" -w || true
  touch "$prefix/.zarn-ready"
fi

clip=$media/three_sound_tracks.mkv
title='Zarn_Importer: sound track'
fail=0
problem() { echo "FAIL: $*" >&2; fail=1; }

# answer KEYS SHOT ARGS...: runs the Windows tool with ARGS (paths through
# drive Z:), waits for the dialog, keeps a screenshot in SHOT (when given),
# presses KEYS and waits for the tool; its output goes to $tmp/answer.
answer() {
  local keys=$1 shot=$2 window
  shift 2
  "$wine" "$win_tool" "$@" </dev/null 2>"$tmp/stderr" | tr -d '\r' >"$tmp/answer" &
  local tool=$!
  if ! window=$(timeout 120 xdotool search --sync --name "^$title\$" | head -1); then
    problem "the dialog did not open for: $*"
    kill "$tool" 2>/dev/null
    return
  fi
  sleep 1  # painted
  [ -z "$shot" ] || ffmpeg -nostdin -loglevel error -y -f x11grab -draw_mouse 0 -window_id "$window" \
    -i "$DISPLAY" -frames:v 1 "$shot" || problem "no screenshot"
  xdotool windowfocus --sync "$window" key --delay 200 $keys
  timeout 120 tail --pid="$tool" -f /dev/null || problem "the tool did not end after: $keys"
  wait "$tool" || problem "the tool failed: $(cat "$tmp/stderr")"
}
has() { grep -qF -- "$2" "$1" || problem "$(basename "$1") lacks $2: $(cat "$1")"; }

# Down, Return: track 2, "Game", told and heard.
answer "Down Return" "$out/sound-track-dialog.png" options "Z:$clip"
has "$tmp/answer" '"user_interacted":true'
has "$tmp/answer" '"sound_track":2'
has "$tmp/answer" '"Sound 2: Game"'

printf 'options\nsound 0/1 9600\n' >"$tmp/script"
answer "Down Return" "" session "Z:$clip" --script "Z:$tmp/script" --out "Z:$tmp/win"
has "$tmp/answer" '"kind":"options","result":0'
"$linux_tool" sound "$clip" --sound-track 2 --start 0/1 --samples 9600 --format f32 \
  --out "$tmp/linux.f32"
if [ -f "$tmp/win/0001-sound.f32" ]; then
  # The last bit or two may differ between the two C libraries' maths.
  largest=$(paste <(od -An -v -w4 -f "$tmp/win/0001-sound.f32") <(od -An -v -w4 -f "$tmp/linux.f32") |
    awk '{ d = $1 - $2; if (d < 0) d = -d; if (d > m) m = d } END { printf "%.3g\n", m + 0 }')
  [ "$(stat -c %s "$tmp/win/0001-sound.f32")" = "$(stat -c %s "$tmp/linux.f32")" ] &&
    awk -v d="$largest" 'BEGIN { exit !(d <= 1e-6) }' ||
    problem "track 2's sound differs from Linux by $largest"
else
  problem "no sound written after the dialog"
fi

# Escape: Cancel changes nothing.
answer "Escape" "" options "Z:$clip"
has "$tmp/answer" '"user_interacted":false'
has "$tmp/answer" '"sound_track":1'

[ $fail -eq 0 ] && echo "dialog checks passed: track 2 chosen and heard, Cancel changes nothing"
exit $fail

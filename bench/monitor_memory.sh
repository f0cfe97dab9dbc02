#!/usr/bin/env bash
# The real program's memory and CPU with the monitor popup open over many processes, beside htop.
#
#   bench/monitor_memory.sh [-b BINARY] [-n SLEEPERS] [-m MINUTES] [-i IDLE_SECONDS] [-c SETTINGS]
#
# Starts BINARY (default build/release/quorvin) on a private Xvfb display with its own settings and
# data folders and D-Bus session, measures it idle, starts SLEEPERS sleeping processes (default
# 3000), opens the menu panel from the bar strip and the monitor popup from its CPU gauge (the
# user's own path, by pointer clicks), keeps it open MINUTES (default 10) while printing the
# resident size each minute, measures CPU and wakeups over the last minute beside htop (2 s
# refresh) when it is installed, then closes the popup (Escape) and measures again. SETTINGS is a
# settings file the program starts with (to leave the companion out, say).
# Needs Xvfb, xdotool and dbus-run-session.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

binary=$here/../build/release/quorvin
sleepers=3000
minutes=10
idle=30
settings=""
while getopts "b:n:m:i:c:h" opt; do
  case $opt in
    b) binary=$OPTARG ;;
    n) sleepers=$OPTARG ;;
    m) minutes=$OPTARG ;;
    i) idle=$OPTARG ;;
    c) settings=$OPTARG ;;
    *) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
for tool in Xvfb xdotool dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done
[ -x "$binary" ] || { echo "no program at $binary (build it with ./run or cmake --build build/release)" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid="" app_pid="" htop_socket="quorvin-bench-$$"
declare -a sleeper_pids=()
cleanup() {
  set +e
  [ ${#sleeper_pids[@]} -eq 0 ] || kill "${sleeper_pids[@]}" 2>/dev/null
  [ -z "$app_pid" ] || kill "$app_pid" 2>/dev/null
  tmux -L "$htop_socket" kill-server 2>/dev/null
  sleep 1
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

rss() { awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }
processes() { find /proc -maxdepth 1 -name '[0-9]*' 2>/dev/null | wc -l; }

# Window id, x, y, width and height of the viewable top-level windows named $1.
windows() {
  local id
  for id in $(xdotool search --name "^$1\$" 2>/dev/null); do
    xwininfo -id "$id" | awk -v id="$id" '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
      /Width:/ { w = $NF } /Height:/ { h = $NF } /Map State: IsViewable/ { print id, x, y, w, h }'
  done
}
wait_for_window() {  # name, width; prints "id x y w h"
  local i line
  for i in $(seq 100); do
    line=$(windows "$1" | awk -v w="$2" '$4 == w' | head -1)
    [ -n "$line" ] && { echo "$line"; return 0; }
    sleep 0.1
  done
  return 1
}

exec 3<> >(:)
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 10 display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$display

mkdir -p "$work/home/.config"
[ -z "$settings" ] || cp "$settings" "$work/home/.config/com.pelwick.Quorvin.json"
HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share \
  XDG_CACHE_HOME=$work/home/.cache \
  dbus-run-session -- bash -c "echo \$\$ > '$work/pid'; exec '$binary'" >"$work/app.log" 2>&1 &
for _ in $(seq 100); do [ -s "$work/pid" ] && break; sleep 0.1; done
app_pid=$(cat "$work/pid")
strip=$(wait_for_window StatusBarWindow 309 || windows StatusBarWindow | head -1)
[ -n "$strip" ] || { echo "the bar strip did not appear" >&2; cat "$work/app.log" >&2; exit 1; }
sleep 5

echo "== idle, $(processes) processes"
"$here/idle_cpu.sh" -s "$idle" "$app_pid"
idle_rss=$(rss "$app_pid")

if [ "$sleepers" -gt 0 ]; then
  for _ in $(seq "$sleepers"); do
    sleep 100000 &
    sleeper_pids+=($!)
  done
fi
echo "== $(processes) processes running"

read -r _ sx sy sw sh <<<"$strip"
xdotool mousemove $((sx + sw - 17)) $((sy + sh / 2)) click 1
panel=$(wait_for_window Quorvin 264) || { echo "the menu panel did not open" >&2; exit 1; }
read -r _ px py _ _ <<<"$panel"
xdotool mousemove $((px + 50)) $((py + 47)) click 1
wait_for_window Quorvin 360 >/dev/null || { echo "the monitor popup did not open" >&2; exit 1; }
xdotool mousemove 5 1000
echo "== monitor open: resident MB each minute"
opened=$(date +%s)

htop_pid=""
if command -v htop >/dev/null && command -v tmux >/dev/null; then
  tmux -L "$htop_socket" new-session -d -x 200 -y 50 "htop -d 20"
  htop_pid=$(tmux -L "$htop_socket" list-panes -F '#{pane_pid}')
fi

for m in $(seq "$minutes"); do
  if [ "$m" -eq "$minutes" ]; then
    echo "   last minute, beside htop:"
    "$here/idle_cpu.sh" -s 60 "$app_pid" $htop_pid | sed 's/^/   /'
  else
    sleep 60
  fi
  echo "   $m min: $(rss "$app_pid") MB"
done
open_rss=$(rss "$app_pid")

xdotool key Escape
sleep 2
if windows Quorvin | awk '$4 == 360' | grep -q .; then echo "the popup did not close" >&2; exit 1; fi
sleep 30
closed_rss=$(rss "$app_pid")
echo "== closed"
"$here/idle_cpu.sh" -s "$idle" "$app_pid"
echo "== resident MB: idle $idle_rss, open $minutes min $open_rss, 30 s after closing $closed_rss" \
     "(open $(( $(date +%s) - opened )) s in all)"

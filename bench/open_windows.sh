#!/usr/bin/env bash
# What the program costs while one of its windows stays open and untouched, beside htop.
#
#   bench/open_windows.sh [-b BINARY]... [-s SECONDS] [-r RUNS] [-c SETTINGS] [-e NAME=VALUE]... [-o CASE]... [-n PROCESSES]
#
# Starts each BINARY (default build/release/quorvin; give -b twice to compare two builds) on a
# private Xvfb display with its own settings, data folders and D-Bus session, and htop (2 s
# refresh) beside them. Then, in every program at once: idle; the menu panel open (a second
# start opens it); the monitor popup open from its CPU gauge; the clipboard popup open from its
# hot key. Each case is measured RUNS times (default 3) over SECONDS (default 20) with
# bench/idle_cpu.sh, all programs and htop over the same seconds; the medians are printed.
# SETTINGS is a settings file every program starts with (to leave the companion out, say).
# Each program's X server is measured too (its share of drawing), and btop beside htop when it
# is installed. -e sets a variable in the environment of every program (QT_XCB_NO_MITSHM=1, say).
# -o measures only the cases named (idle, menu, monitor, clipboard); the windows still open in turn.
# -n starts sleeping processes, three to a name, until the machine runs PROCESSES in all.
# Needs Xvfb, xdotool, dbus-run-session, tmux and htop.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

binaries=()
seconds=20
runs=3
settings=""
environment=()
only=()
processes=0
while getopts "b:s:r:c:e:o:n:h" opt; do
  case $opt in
    b) binaries+=("$OPTARG") ;;
    s) seconds=$OPTARG ;;
    r) runs=$OPTARG ;;
    c) settings=$OPTARG ;;
    e) environment+=("$OPTARG") ;;
    o) only+=("$OPTARG") ;;
    n) processes=$OPTARG ;;
    *) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
[ ${#binaries[@]} -gt 0 ] || binaries=("$here/../build/release/quorvin")
for tool in Xvfb xdotool dbus-run-session tmux htop; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done
for b in "${binaries[@]}"; do [ -x "$b" ] || { echo "no program at $b" >&2; exit 1; }; done

work=$(mktemp -d)
htop_socket="quorvin-windows-$$"
declare -a xvfb_pids=() app_pids=() displays=() sleeper_pids=()
cleanup() {
  set +e
  [ ${#sleeper_pids[@]} -eq 0 ] || kill "${sleeper_pids[@]}" 2>/dev/null
  [ ${#app_pids[@]} -eq 0 ] || kill "${app_pids[@]}" 2>/dev/null
  tmux -L "$htop_socket" kill-server 2>/dev/null
  sleep 1
  [ ${#xvfb_pids[@]} -eq 0 ] || kill "${xvfb_pids[@]}" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Position "x y" of the viewable top-level window named $1 with width $2 on display $3.
window_at() {
  local id
  for id in $(DISPLAY=$3 xdotool search --name "^$1\$" 2>/dev/null); do
    DISPLAY=$3 xwininfo -id "$id" | awk -v w="$2" '/Absolute upper-left X/ { x = $NF }
      /Absolute upper-left Y/ { y = $NF } /Width:/ { width = $NF } /Map State: IsViewable/ { v = 1 }
      END { if (v && width == w) print x, y }'
  done | head -1
}
wait_for() {  # name width display
  local i at
  for i in $(seq 100); do
    at=$(window_at "$@")
    [ -n "$at" ] && { echo "$at"; return 0; }
    sleep 0.1
  done
  return 1
}

# Sleepers under names of their own, so the process list shows them as groups of three.
mkdir -p "$work/sleepers"
running() { local all=(/proc/[0-9]*); echo ${#all[@]}; }
missing=$((processes - $(running)))
for n in $(seq 0 $((missing - 1))); do
  name=$work/sleepers/sleeper$((n / 3))
  [ -e "$name" ] || ln -s "$(command -v sleep)" "$name"
  "$name" 100000 &
  sleeper_pids+=($!)
done

for i in "${!binaries[@]}"; do
  home=$work/home$i
  mkdir -p "$home/.config"
  [ -z "$settings" ] || cp "$settings" "$home/.config/com.pelwick.Quorvin.json"
  exec 3<> >(:)
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb$i.log" 2>&1 &
  xvfb_pids+=($!)
  read -r -t 10 display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
  exec 3<&-
  displays+=(":$display")
  env "${environment[@]}" DISPLAY=":$display" HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_CACHE_HOME="$home/.cache" dbus-run-session -- bash -c \
    "echo \$DBUS_SESSION_BUS_ADDRESS > '$work/bus$i'; echo \$\$ > '$work/pid$i'; exec '${binaries[$i]}'" \
    >"$work/app$i.log" 2>&1 &
  for _ in $(seq 100); do [ -s "$work/pid$i" ] && break; sleep 0.1; done
  app_pids+=("$(cat "$work/pid$i")")
done
sleep 5
tmux -L "$htop_socket" new-session -d -x 200 -y 50 "htop -d 20"
htop_pid=$(tmux -L "$htop_socket" list-panes -F '#{pane_pid}')
peers=("$htop_pid")
names=()
for i in "${!binaries[@]}"; do names+=("quorvin#$((i + 1))"); done
for i in "${!binaries[@]}"; do names+=("xserver#$((i + 1))"); done
names+=(htop)
if command -v btop >/dev/null; then
  tmux -L "$htop_socket" new-window -d "btop"
  sleep 1
  peers+=("$(tmux -L "$htop_socket" list-panes -a -F '#{pane_pid}' | grep -v "^$htop_pid\$" | head -1)")
  names+=(btop)
fi

wanted() { [ ${#only[@]} -eq 0 ] || [[ " ${only[*]} " == *" $1 "* ]]; }

# Prints "name cpu wakeups" medians over the runs for every program and htop.
measure() {
  local r
  for r in $(seq "$runs"); do
    "$here/idle_cpu.sh" -s "$seconds" "${app_pids[@]}" "${xvfb_pids[@]}" "${peers[@]}" | tail -n +2
  done | awk -v names="${names[*]}" 'BEGIN { split(names, label, " ") } { key = $2; cpu[key] = cpu[key] " " $3; wake[key] = wake[key] " " $4
      if (!(key in order)) { order[key] = ++count; keys[count] = key } }
    function median(list,   a, m, i, j, t) {
      m = split(list, a, " ")
      for (i = 1; i <= m; ++i) for (j = i + 1; j <= m; ++j) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
      return m % 2 ? a[(m + 1) / 2] : (a[m / 2] + a[m / 2 + 1]) / 2
    }
    END { for (i = 1; i <= count; ++i) {
        k = keys[i]; name = label[i]
        printf "   %-10s cpu %6.3f %%  wakeups %7.1f /s   (cpu:%s)\n", name, median(cpu[k]), median(wake[k]), cpu[k] } }'
}

echo "== $(running) processes; ${runs} runs of ${seconds} s, medians"
for i in "${!binaries[@]}"; do echo "   quorvin#$((i + 1)) = ${binaries[$i]}"; done
if wanted idle; then echo "== idle"; measure; fi

for i in "${!binaries[@]}"; do
  DISPLAY=${displays[$i]} DBUS_SESSION_BUS_ADDRESS=$(cat "$work/bus$i") HOME=$work/home$i \
    XDG_CONFIG_HOME=$work/home$i/.config timeout 5 "${binaries[$i]}" >/dev/null 2>&1 || true
  wait_for Quorvin 264 "${displays[$i]}" >/dev/null || { echo "menu panel $((i + 1)) did not open" >&2; exit 1; }
  DISPLAY=${displays[$i]} xdotool mousemove 5 1000
done
sleep 3
if wanted menu; then echo "== menu panel open"; measure; fi

for i in "${!binaries[@]}"; do
  read -r px py < <(window_at Quorvin 264 "${displays[$i]}")
  DISPLAY=${displays[$i]} xdotool mousemove $((px + 50)) $((py + 47)) click 1
  wait_for Quorvin 360 "${displays[$i]}" >/dev/null || { echo "monitor popup $((i + 1)) did not open" >&2; exit 1; }
  DISPLAY=${displays[$i]} xdotool mousemove 5 1000
done
sleep 3
if wanted monitor; then echo "== monitor popup open"; measure; fi

for i in "${!binaries[@]}"; do
  DISPLAY=${displays[$i]} xdotool key Escape
  sleep 1
  DISPLAY=${displays[$i]} xdotool key super+shift+v
done
sleep 3
if wanted clipboard; then echo "== clipboard popup open"; measure; fi

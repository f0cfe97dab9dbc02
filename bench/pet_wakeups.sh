#!/usr/bin/env bash
# What the walking pet costs: wakeups of the program and the X server's CPU, beside the same
# program with the pet off.
#
#   bench/pet_wakeups.sh [-b BINARY]... [-s SECONDS]
#
# Starts each BINARY (default build/release/quorvin; give -b twice to compare two builds) twice,
# each on a private Xvfb display with its own settings, data folders and D-Bus session: once with
# the pet on, once with it off. All run over the same SECONDS (default 60), sampled once a second
# from /proc. The pet picks what it does by chance; the seconds in which its window moved count as
# walking. For each program: context switches per second (voluntary, which are its wakeups, and
# all), its CPU, and its X server's CPU and wakeups, over the walking seconds and over all of them,
# and what walking adds to the same program with the pet off (whose X server answers the same
# once-a-second query that finds the pet's place).
# Needs Xvfb, xdotool, xwininfo and dbus-run-session.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

binaries=()
seconds=60
while getopts "b:s:h" opt; do
  case $opt in
    b) binaries+=("$OPTARG") ;;
    s) seconds=$OPTARG ;;
    *) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
[ ${#binaries[@]} -gt 0 ] || binaries=("$here/../build/release/quorvin")
for tool in Xvfb xdotool xwininfo dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done
for b in "${binaries[@]}"; do [ -x "$b" ] || { echo "no program at $b" >&2; exit 1; }; done

work=$(mktemp -d)
declare -a xvfb_pids=() app_pids=() displays=() labels=() pets=()
cleanup() {
  set +e
  [ ${#app_pids[@]} -eq 0 ] || kill "${app_pids[@]}" 2>/dev/null
  sleep 1
  [ ${#xvfb_pids[@]} -eq 0 ] || kill "${xvfb_pids[@]}" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

start() {  # index binary pet(true|false)
  local i=$1 home=$work/home$1 display
  mkdir -p "$home/.config"
  printf '{ "menuBarPetEnabled": %s }\n' "$3" >"$home/.config/com.pelwick.Quorvin.json"
  exec 3<> >(:)
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb$i.log" 2>&1 &
  xvfb_pids+=($!)
  read -r -t 10 display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
  exec 3<&-
  displays+=(":$display")
  env DISPLAY=":$display" HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_CACHE_HOME="$home/.cache" dbus-run-session -- bash -c "echo \$\$ > '$work/pid$i'; exec '$2'" \
    >"$work/app$i.log" 2>&1 &
  for _ in $(seq 100); do [ -s "$work/pid$i" ] && break; sleep 0.1; done
  app_pids+=("$(cat "$work/pid$i")")
}

n=0
for b in "${binaries[@]}"; do
  for pet in true false; do
    start "$n" "$b" "$pet"
    labels+=("$b $([ "$pet" = true ] && echo 'pet on' || echo 'pet off')")
    pets+=("$pet")
    n=$((n + 1))
  done
done
sleep 5

# The pet's window on each display with the pet on.
declare -a pet_windows=()
for i in $(seq 0 $((n - 1))); do
  id=""
  if [ "${pets[$i]}" = true ]; then
    for _ in $(seq 50); do
      id=$(DISPLAY=${displays[$i]} xdotool search --name '^Quorvin Pet$' 2>/dev/null | head -1 || true)
      [ -n "$id" ] && break
      sleep 0.2
    done
    [ -n "$id" ] || { echo "no pet window on ${displays[$i]}" >&2; exit 1; }
  fi
  pet_windows+=("$id")
done

. "$(dirname "$0")/proc_stats.sh"
# The pet's x on display $1 (window $2); without a pet the same query on the root window, so that
# both X servers answer the same queries.
pet_x() {
  if [ -z "$2" ]; then DISPLAY=$1 xwininfo -root >/dev/null 2>&1 || true; echo -; return; fi
  DISPLAY=$1 xwininfo -id "$2" 2>/dev/null | awk '/Absolute upper-left X/ { print $NF }'
}

# One line a second per program: elapsed, switches, CPU ticks, X server ticks and switches, pet x.
for i in $(seq 0 $((n - 1))); do
  thread_switches "${app_pids[$i]}" >"$work/snap$i"
  thread_switches "${xvfb_pids[$i]}" >"$work/xsnap$i"
  echo "$(cpu_ticks "${app_pids[$i]}") $(cpu_ticks "${xvfb_pids[$i]}") $(pet_x "${displays[$i]}" "${pet_windows[$i]}")" \
    >"$work/last$i"
done
last_time=$(date +%s.%N)
for _ in $(seq "$seconds"); do
  sleep 1
  now=$(date +%s.%N)
  for i in $(seq 0 $((n - 1))); do
    read -r v nv < <(switches_since "$work/snap$i" "${app_pids[$i]}")
    read -r xv _ < <(switches_since "$work/xsnap$i" "${xvfb_pids[$i]}")
    read -r t0 x0 p0 <"$work/last$i"
    t1=$(cpu_ticks "${app_pids[$i]}")
    x1=$(cpu_ticks "${xvfb_pids[$i]}")
    p1=$(pet_x "${displays[$i]}" "${pet_windows[$i]}")
    echo "$t1 $x1 $p1" >"$work/last$i"
    moved=0
    [ "$p0" != - ] && [ -n "$p1" ] && [ "$p0" != "$p1" ] && moved=1
    echo "$(awk -v a="$last_time" -v b="$now" 'BEGIN { print b - a }') $v $((v + nv)) $((t1 - t0)) $((x1 - x0)) $xv $moved" \
      >>"$work/samples$i"
  done
  last_time=$now
done

hz=$(getconf CLK_TCK)
# "count wakeups switches cpu xcpu xwakeups" per second over the walking seconds or all of them.
summary() {  # samples which
  awk -v which="$2" -v hz="$hz" '
    which == "all" || $7 == 1 { d += $1; v += $2; s += $3; t += $4; x += $5; xv += $6; c++ }
    END { if (d == 0) { print 0, 0, 0, 0, 0, 0; exit }
          printf "%d %.1f %.1f %.3f %.3f %.1f\n", c, v / d, s / d, 100 * t / hz / d, 100 * x / hz / d, xv / d }' "$1"
}
row() { printf "%-44s %-8s %6s %10s %10s %8s %9s %11s\n" "$@"; }
echo "== ${seconds} s; a second counts as walking when the pet's window moved in it"
row program seconds count wakeups/s switches/s "cpu %" "X cpu %" "X wakeups/s"
for i in $(seq 0 2 $((n - 1))); do
  read -r -a walking < <(summary "$work/samples$i" walking)
  read -r -a all < <(summary "$work/samples$i" all)
  read -r -a off < <(summary "$work/samples$((i + 1))" all)
  row "${labels[$i]}" walking "${walking[@]}"
  row "${labels[$i]}" all "${all[@]}"
  row "${labels[$((i + 1))]}" all "${off[@]}"
  # What walking adds to the same program with the pet off.
  row "${labels[$i]%% pet on}: walking over pet off" "" "" $(awk -v a="${walking[*]}" -v b="${off[*]}" 'BEGIN {
    split(a, w, " "); split(b, o, " ")
    printf "%.1f %.1f %.3f %.3f %.1f", w[2] - o[2], w[3] - o[3], w[4] - o[4], w[5] - o[5], w[6] - o[6] }')
done

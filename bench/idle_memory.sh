#!/usr/bin/env bash
# The program's memory while it sits idle with the pet on and no window open.
#
#   bench/idle_memory.sh [-b BINARY]... [-r RUNS] [-s SECONDS] [-m MAPPINGS] [-c SETTINGS]
#
# Starts each BINARY (default build/release/quorvin; give -b twice to compare two builds, the
# build before first) RUNS times (default 5). In each run all programs start together, each on a
# private Xvfb display with openbox, its own settings (the pet on, the welcome window already
# seen), data folders and D-Bus session; SECONDS (default 20) after the start its resident size
# (rss), proportional set size (pss: each shared page divided among the processes that map it),
# anonymous memory (anon: what no file backs) and resident file pages (file) are read from
# /proc/PID/smaps_rollup and /proc/PID/status and the programs are ended. Prints every run's
# figures and the medians in MB. With MAPPINGS > 0, also the largest mappings by resident size
# (from /proc/PID/smaps, anonymous ones summed per kind) of each program in the last run.
# SETTINGS is a settings file every program starts with instead of the default one.
# Needs Xvfb, openbox and dbus-run-session.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

binaries=()
runs=5
seconds=20
mappings=0
settings=""
while getopts "b:r:s:m:c:h" opt; do
  case $opt in
    b) binaries+=("$OPTARG") ;;
    r) runs=$OPTARG ;;
    s) seconds=$OPTARG ;;
    m) mappings=$OPTARG ;;
    c) settings=$OPTARG ;;
    *) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
[ ${#binaries[@]} -gt 0 ] || binaries=("$here/../build/release/quorvin")
for tool in Xvfb openbox dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done
for b in "${binaries[@]}"; do [ -x "$b" ] || { echo "no program at $b" >&2; exit 1; }; done

work=$(mktemp -d)
declare -a xvfb_pids=() wm_pids=() app_pids=()
stop_all() {
  set +e
  [ ${#app_pids[@]} -eq 0 ] || kill "${app_pids[@]}" 2>/dev/null
  sleep 1
  [ ${#wm_pids[@]} -eq 0 ] || kill "${wm_pids[@]}" 2>/dev/null
  [ ${#xvfb_pids[@]} -eq 0 ] || kill "${xvfb_pids[@]}" 2>/dev/null
  wait 2>/dev/null
  xvfb_pids=() wm_pids=() app_pids=()
  set -e
}
cleanup() {
  stop_all
  rm -rf "$work"
}
trap cleanup EXIT

start() {  # index binary
  local i=$1 home=$work/run/home$1 display
  mkdir -p "$home/.config"
  if [ -n "$settings" ]; then
    cp "$settings" "$home/.config/com.pelwick.Quorvin.json"
  else
    printf '{ "menuBarPetEnabled": true, "welcomeShown": true }\n' >"$home/.config/com.pelwick.Quorvin.json"
  fi
  exec 3<> >(:)
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb$i.log" 2>&1 &
  xvfb_pids+=($!)
  read -r -t 10 display <&3 || { echo "Xvfb did not start" >&2; exit 1; }
  exec 3<&-
  DISPLAY=":$display" HOME="$home" openbox >"$work/openbox$i.log" 2>&1 &
  wm_pids+=($!)
  sleep 0.5
  rm -f "$work/pid$i"
  env DISPLAY=":$display" HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_CACHE_HOME="$home/.cache" dbus-run-session -- bash -c "echo \$\$ > '$work/pid$i'; exec '$2'" \
    >"$work/app$i.log" 2>&1 &
  for _ in $(seq 100); do [ -s "$work/pid$i" ] && break; sleep 0.1; done
  app_pids+=("$(cat "$work/pid$i")")
}

# "rss pss anon file" in kB: file is what of rss the mapped files' pages make up.
memory_kb() {
  local file
  file=$(awk '/^RssFile:/ { print $2 }' "/proc/$1/status")
  awk -v f="$file" '/^Rss:/ { r = $2 } /^Pss:/ { p = $2 } /^Anonymous:/ { a = $2 } END { print r, p, a, f }' \
    "/proc/$1/smaps_rollup"
}

# The largest mappings of process $1 by resident size: files by path, anonymous ones by kind.
largest_mappings() {
  awk '/^[0-9a-f]+-[0-9a-f]+ / { name = $6; if (name == "") name = "[anonymous]"; next }
    /^Rss:/ { rss[name] += $2 }
    END { for (n in rss) if (rss[n] > 0) printf "%8.1f MB  %s\n", rss[n] / 1024, n }' "/proc/$1/smaps" |
    sort -rn | head -n "$mappings"
}

echo "== ${runs} runs, figures ${seconds} s after the start, MB"
for i in "${!binaries[@]}"; do echo "   #$((i + 1)) = ${binaries[$i]}"; done
for r in $(seq "$runs"); do
  rm -rf "$work/run"
  for i in "${!binaries[@]}"; do start "$i" "${binaries[$i]}"; done
  sleep "$seconds"
  for i in "${!binaries[@]}"; do
    pid=${app_pids[$i]}
    [ -d "/proc/$pid" ] || { echo "program #$((i + 1)) ended early:" >&2; cat "$work/app$i.log" >&2; exit 1; }
    kb=$(memory_kb "$pid")
    echo "$i $kb" >>"$work/figures"
    printf "   run %d #%d  rss %6.1f  pss %6.1f  anon %6.1f  file %6.1f\n" "$r" $((i + 1)) \
      $(echo "$kb" | awk '{ print $1 / 1024, $2 / 1024, $3 / 1024, $4 / 1024 }')
    if [ "$r" -eq "$runs" ] && [ "$mappings" -gt 0 ]; then
      largest_mappings "$pid" >"$work/mappings$i"
    fi
  done
  stop_all
done

echo "== medians"
for i in "${!binaries[@]}"; do
  awk -v which="$i" '$1 == which { r[++n] = $2; p[n] = $3; a[n] = $4; f[n] = $5 }
    function median(v, n,   i, j, t) {
      for (i = 1; i <= n; ++i) for (j = i + 1; j <= n; ++j) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
      return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    END { printf "   #%d  rss %6.1f  pss %6.1f  anon %6.1f  file %6.1f\n", which + 1,
      median(r, n) / 1024, median(p, n) / 1024, median(a, n) / 1024, median(f, n) / 1024 }' "$work/figures"
done
if [ "$mappings" -gt 0 ]; then
  for i in "${!binaries[@]}"; do
    echo "== largest mappings of #$((i + 1)) (last run)"
    cat "$work/mappings$i"
  done
fi

#!/usr/bin/env bash
# CPU time, wakeups and resident size of running programs over the same N seconds, from /proc.
#
#   bench/idle_cpu.sh [-s SECONDS] TARGET...
#
# A TARGET is a pid or a program name (its oldest process, as pgrep -xo finds it); the default
# target is quorvin. Give several to measure them side by side, e.g. `bench/idle_cpu.sh -s 60
# quorvin htop`. For each: CPU as percent of one core (utime+stime of all threads), wakeups per
# second (voluntary context switches summed over the threads alive at both ends: a thread that
# ends meanwhile takes its count with it), involuntary switches per second,
# and the resident size at the start and the end.
set -euo pipefail

seconds=30
while getopts "s:h" opt; do
  case $opt in
    s) seconds=$OPTARG ;;
    *) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -gt 0 ] || set -- quorvin

ticks_per_second=$(getconf CLK_TCK)

resolve() {
  if [[ $1 =~ ^[0-9]+$ ]]; then echo "$1"; else pgrep -xo "$1" || true; fi
}

. "$(dirname "$0")/proc_stats.sh"

rss_mb() {
  awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status" 2>/dev/null
}

snapshots=$(mktemp -d)
trap 'rm -rf "$snapshots"' EXIT
declare -a names pids ticks0 rss0
for target in "$@"; do
  pid=$(resolve "$target")
  if [ -z "$pid" ] || [ ! -d "/proc/$pid" ]; then
    echo "no running process for '$target'" >&2
    exit 1
  fi
  names+=("$target")
  pids+=("$pid")
done

for i in "${!pids[@]}"; do
  p=${pids[$i]}
  ticks0[$i]=$(cpu_ticks "$p")
  thread_switches "$p" >"$snapshots/$i"
  rss0[$i]=$(rss_mb "$p")
done
start=$(date +%s.%N)
sleep "$seconds"
end=$(date +%s.%N)

printf "%-12s %8s %10s %10s %12s %10s %10s\n" target pid "cpu %" wakeups/s involuntary/s "rss0 MB" "rss1 MB"
for i in "${!pids[@]}"; do
  p=${pids[$i]}
  if ! t1=$(cpu_ticks "$p"); then
    echo "${names[$i]} ($p) ended during the measurement" >&2
    continue
  fi
  read -r dv dn < <(switches_since "$snapshots/$i" "$p")
  awk -v name="${names[$i]}" -v pid="$p" -v t0="${ticks0[$i]}" -v t1="$t1" -v hz="$ticks_per_second" \
      -v v0=0 -v v1="$dv" -v n0=0 -v n1="$dn" -v s="$start" -v e="$end" \
      -v r0="${rss0[$i]}" -v r1="$(rss_mb "$p")" \
      'BEGIN { d = e - s; printf "%-12s %8d %10.3f %10.1f %12.1f %10s %10s\n",
               name, pid, 100 * (t1 - t0) / hz / d, (v1 - v0) / d, (n1 - n0) / d, r0, r1 }'
done

# Readings of a running process from /proc, for the measuring scripts beside this file (sourced).

# utime+stime of the whole process, in clock ticks (fields 14 and 15 after the name); fails once it is gone.
cpu_ticks() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  awk '{ print $12 + $13 }' <<<"$stat"
}

# One line per thread alive now: its id, voluntary and involuntary switches.
thread_switches() {
  local task
  for task in /proc/"$1"/task/*; do
    awk -v tid="${task##*/}" '/^voluntary_ctxt_switches/ { v = $2 } /^nonvoluntary_ctxt_switches/ { n = $2 }
      END { if (v != "") print tid, v, n }' "$task/status" 2>/dev/null || true
  done
}

# "voluntary involuntary" switches of process $2 since the snapshot in file $1, summed over the
# threads in both; the file then holds a new snapshot.
switches_since() {
  local now
  now=$(thread_switches "$2")
  awk 'NR == FNR { v[$1] = $2; n[$1] = $3; next }
       ($1 in v) { dv += $2 - v[$1]; dn += $3 - n[$1] }
       END { print dv + 0, dn + 0 }' "$1" - <<<"$now"
  echo "$now" >"$1"
}

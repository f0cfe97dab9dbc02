#!/usr/bin/env bash
# The layer check on a small tree: each spelling of an upward include fails it, includes that
# point down (or name no file of ours) pass; sibling folders that include each other, directly or
# round a loop, fail it.
set -u
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failures=0
total=0

run() {  # run EXPECTED(pass|fail) NAME LINE [FILE LINE]...: LINE goes in Clock.cpp, each other in its FILE
  local expected=$1 name=$2 lines=$3
  rm -rf "$tree"/*
  mkdir -p "$tree"/Platform/Core "$tree"/Platform/Files "$tree"/Source/Features/Clock "$tree"/Source/Features/Alarm \
    "$tree"/Views/Clock/Dial "$tree"/Views/Alarm "$tree"/Views/Timer "$tree"/App
  touch "$tree"/Views/Clock/ClockView.h "$tree"/Views/Clock/Dial/DialView.h "$tree"/Views/Alarm/AlarmView.h \
    "$tree"/Views/Timer/TimerView.h "$tree"/Platform/Core/Queue.h "$tree"/Platform/Files/Folder.h \
    "$tree"/App/AppDelegate.h "$tree"/Source/Features/Clock/Clock.h "$tree"/Source/Features/Clock/ClockWindowController.h \
    "$tree"/Source/Features/Alarm/Alarm.h "$tree"/Source/Features/Alarm/AlarmWindowController.h
  printf '%s\n' "$3" >"$tree"/Source/Features/Clock/Clock.cpp
  printf '#include "Platform/Core/Queue.h"\n' >"$tree"/Views/Clock/ClockView.cpp
  shift 3
  while [ $# -ge 2 ]; do
    printf '%s\n' "$2" >>"$tree/$1"
    lines+=" / $1: $2"
    shift 2
  done
  if bash "$check" "$tree" >/dev/null; then got=pass; else got=fail; fi
  if [ "$got" != "$expected" ]; then
    echo "FAILED: $name: expected the check to $expected on: $lines"
    failures=$((failures + 1))
  fi
  total=$((total + 1))
}

run fail "quoted" '#include "Views/Clock/ClockView.h"'
run fail "angle brackets" '#include <Views/Clock/ClockView.h>'
run fail "indented" '    #include "Views/Clock/ClockView.h"'
run fail "space after the hash" '#  include "Views/Clock/ClockView.h"'
run fail "tab before include" $'#\tinclude <App/AppDelegate.h>'
run fail "relative to the file" '#include "../../../Views/Clock/ClockView.h"'
run fail "a controller from the engine" '#include "ClockWindowController.h"'
run pass "down a layer" '#include "Platform/Core/Queue.h"'
run pass "beside itself" '#include "Clock.h"'
run pass "a library header" '#include <QString>'
run pass "a commented-out include" '// #include "Views/Clock/ClockView.h"'

# Sibling folders under Platform/, Views/ and Source/Features/.
run fail "two views include each other" '' \
  Views/Clock/ClockView.cpp '#include "Views/Alarm/AlarmView.h"' \
  Views/Alarm/AlarmView.cpp '#include <Views/Clock/ClockView.h>'
run fail "two views, one relative to the file" '' \
  Views/Clock/ClockView.cpp '#include "Views/Alarm/AlarmView.h"' \
  Views/Alarm/AlarmView.h '#include "../Clock/ClockView.h"'
run fail "three views round a loop" '' \
  Views/Clock/ClockView.cpp '#include "Views/Alarm/AlarmView.h"' \
  Views/Alarm/AlarmView.cpp '#include "Views/Timer/TimerView.h"' \
  Views/Timer/TimerView.cpp '#include "Views/Clock/Dial/DialView.h"'
run fail "two platform folders include each other" '' \
  Platform/Core/Queue.h '#include "Platform/Files/Folder.h"' \
  Platform/Files/Folder.h '#include "Platform/Core/Queue.h"'
run fail "two features' engines include each other" '#include "Source/Features/Alarm/Alarm.h"' \
  Source/Features/Alarm/Alarm.cpp '#include "Source/Features/Clock/Clock.h"'
run fail "two features' controllers include each other" '' \
  Source/Features/Clock/ClockWindowController.cpp '#include "Source/Features/Alarm/AlarmWindowController.h"' \
  Source/Features/Alarm/AlarmWindowController.cpp '#include "Source/Features/Clock/ClockWindowController.h"'
run pass "one view uses another" '' \
  Views/Clock/ClockView.cpp '#include "Views/Alarm/AlarmView.h"' \
  Views/Timer/TimerView.cpp '#include "Views/Alarm/AlarmView.h"'
run pass "a folder's own subfolder, both ways" '' \
  Views/Clock/ClockView.cpp '#include "Views/Clock/Dial/DialView.h"' \
  Views/Clock/Dial/DialView.h '#include "Views/Clock/ClockView.h"'
run pass "controllers are a folder of their own beside the engine" '' \
  Source/Features/Clock/ClockWindowController.cpp '#include "Source/Features/Alarm/Alarm.h"' \
  Source/Features/Alarm/Alarm.cpp '#include "Source/Features/Clock/Clock.h"'
run pass "the same names in different layers" '' \
  Views/Clock/ClockView.cpp '#include "Source/Features/Alarm/Alarm.h"' \
  Source/Features/Alarm/Alarm.cpp '#include "Source/Features/Clock/Clock.h"' \
  Source/Features/Clock/ClockWindowController.cpp '#include "Views/Clock/ClockView.h"'

# A program source past 600 lines.
lines600=$(printf "// line\n%.0s" $(seq 600))
run pass "a file of 600 lines" '' Platform/Core/Queue.cpp "$lines600"
run fail "a file of 601 lines" '' Platform/Core/Queue.cpp "$lines600"$'\n// one more'

echo "$((total - failures)) passed, $failures failed"
[ $failures -eq 0 ]

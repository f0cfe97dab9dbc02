#!/usr/bin/env bash
# The layer check on a small tree: each spelling of an upward include fails it, includes that
# point down (or name no file of ours) pass.
set -u
check=$1
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failures=0

run() {  # run EXPECTED(pass|fail) NAME LINE
  rm -rf "$tree"/*
  mkdir -p "$tree"/Platform/Core "$tree"/Source/Features/Clock "$tree"/Views/Clock "$tree"/App
  touch "$tree"/Views/Clock/ClockView.h "$tree"/Platform/Core/Queue.h "$tree"/App/AppDelegate.h \
    "$tree"/Source/Features/Clock/Clock.h "$tree"/Source/Features/Clock/ClockWindowController.h
  printf '%s\n' "$3" >"$tree"/Source/Features/Clock/Clock.cpp
  printf '#include "Platform/Core/Queue.h"\n' >"$tree"/Views/Clock/ClockView.cpp
  if bash "$check" "$tree" >/dev/null; then got=pass; else got=fail; fi
  if [ "$got" != "$1" ]; then
    echo "FAILED: $2: expected the check to $1 on: $3"
    failures=$((failures + 1))
  fi
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

total=11
echo "$((total - failures)) passed, $failures failed"
[ $failures -eq 0 ]

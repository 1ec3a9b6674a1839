#!/usr/bin/env bash
# Runs the demo headless and checks that it shows its three servers in their three states.
set -euo pipefail
out=$("$1/scripts/demo" 2>&1) || { echo "$out"; echo "demo failed" >&2; exit 1; }
echo "$out"
fail() { echo "FAILED: $*" >&2; exit 1; }
line() { grep -E "^[A-Z]+ +$1 " <<<"$out" || fail "no line for $1"; }

local_line=$(line "Local demo")
[[ $local_line =~ ^(OK|WARN)\  ]] || fail "Local demo should answer with a report: $local_line"
[[ $local_line =~ \ 127\.0\.0\.1\ +[0-9]+\ +[0-9]+\ +0\  ]] || fail "Local demo should have no failed check: $local_line"

required_line=$(line "Demo: required service")
[[ $required_line =~ ^FAIL\  ]] || fail "the missing required service should make it critical: $required_line"
[[ $required_line =~ \ [0-9]+\ +[0-9]+\ +[1-9][0-9]*\ +[0-9] ]] || fail "a report with a failed check expected: $required_line"

unreachable_line=$(line "Demo: unreachable")
[[ $unreachable_line =~ ^FAIL\ .*Connection\ refused ]] || fail "the closed port should show ssh's error: $unreachable_line"

grep -qE '^ALL SERVERS: [0-9]+ OK  ·  [0-9]+ WARN  ·  [0-9]+ FAIL$' <<<"$out" || fail "no summary line"
echo "demo shows all three states"

#!/usr/bin/env bash
# Runs the demo headless and checks that it shows its three servers in their three states:
# one answering with a report, one critical for its missing required service, one unreachable.
# The local agent reports this machine's real state, so its own checks may warn or fail.
set -euo pipefail
out=$("$1/scripts/demo" --headless 2>&1) || { echo "$out"; echo "demo failed" >&2; exit 1; }
echo "$out"
fail() { echo "FAILED: $*" >&2; exit 1; }
line() { grep -E "^[A-Z]+ +$1 " <<<"$out" || fail "no line for $1"; }
counts='127\.0\.0\.1 +[0-9]+ +[0-9]+ +[0-9]+ +[0-9]+[dhm]( [0-9]+[hm])*$'

local_line=$(line "Local demo")
[[ $local_line =~ ^(OK|WARN|FAIL)\ +Local\ demo\ +$counts ]] ||
    fail "Local demo should answer with a report and no error: $local_line"

required_line=$(line "Demo: required service")
[[ $required_line =~ ^FAIL\ +Demo:\ required\ service\ +$counts ]] ||
    fail "the missing required service should make it critical, with a report: $required_line"

unreachable_line=$(line "Demo: unreachable")
[[ $unreachable_line =~ ^FAIL\ +Demo:\ unreachable\ +127\.0\.0\.1\ +-\ +-\ +-\ +-\ +ssh:.*Connection\ refused$ ]] ||
    fail "the closed port should show ssh's error and no report: $unreachable_line"

grep -qE '^ALL SERVERS: [0-9]+ OK  ·  [0-9]+ WARN  ·  [0-9]+ FAIL$' <<<"$out" || fail "no summary line"

# The critical state comes from the required service, not from the machine.
json=$("$1/scripts/demo" --headless --json)
/usr/bin/python3 - "$json" <<'PY' || fail "required-service check missing from the JSON"
import json, sys
servers = {s["name"]: s for s in json.loads(sys.argv[1])["servers"]}
checks = servers["Demo: required service"]["report"]["checks"]
assert any(c["name"] == "Required: corvane-demo-not-installed.service" and c["status"] == "fail"
           for c in checks), checks
assert servers["Local demo"]["error"] is None and servers["Local demo"]["report"] is not None
PY
echo "demo shows all three states"

#!/bin/sh
# The clutch's allocation as an engineer receives it: the JSON's contributions sum to 100 % per
# stack-up, and the HTML page (with its picture) renders in a headless browser with every name.
# usage: allocation_page.sh QAVTAS SOURCE_DIR
set -u
qavtas=$1
src=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$qavtas" allocate "$src/examples/clutch.json" --json --html "$dir/r.html" --svg "$dir/r.svg" >"$dir/r.json"
status=$?
[ $status -le 3 ] || { echo "FAILED: qavtas allocate exited $status"; exit 1; }
[ -s "$dir/r.html" ] && [ -s "$dir/r.svg" ] || { echo "FAILED: no page or no picture"; exit 1; }
python3 - "$dir/r.json" <<'PY' || exit 1
import json, sys
answer = json.load(open(sys.argv[1]))
for stackup, shares in answer.get("contributions", {}).items():
    total = sum(shares.values())
    if abs(total - 100.0) > 1e-9:
        sys.exit("FAILED: contributions of %s sum to %r" % (stackup, total))
PY
names=$(python3 -c 'import json,sys; p=json.load(open(sys.argv[1])); print(" ".join([d["name"] for d in p["dimensions"]] + [s["name"] for s in p["stackups"]]))' "$src/examples/clutch.json")
# shellcheck disable=SC2086
exec python3 "$src/tests/browser/check_page.py" "$dir/r.html" $names

#!/bin/sh
# The motor assembly's analysis as an engineer opens it: the HTML page (histograms, Pareto charts,
# tables) renders in a headless browser with every dimension and stack-up named.
# usage: analysis_page.sh QAVTAS SOURCE_DIR
set -u
qavtas=$1
src=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$qavtas" analyse "$src/examples/motor_drawing.json" --samples 100000 --html "$dir/a.html" >/dev/null ||
  { echo "FAILED: qavtas analyse exited $?"; exit 1; }
[ "$(grep -c '<svg' "$dir/a.html")" -ge 2 ] || { echo "FAILED: no histogram or no Pareto chart"; exit 1; }
names=$(python3 -c 'import json,sys; p=json.load(open(sys.argv[1])); print(" ".join([d["name"] for d in p["dimensions"]] + [s["name"] for s in p["stackups"]]))' "$src/examples/motor_drawing.json")
# shellcheck disable=SC2086
exec python3 "$src/tests/browser/check_page.py" "$dir/a.html" $names

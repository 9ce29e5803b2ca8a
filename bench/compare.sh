#!/bin/sh
# Times whole runs of grade against plain tools on the same files, with
# hyperfine, and reads grade's peak memory with /usr/bin/time:
#   - the example results, against cat of the four files (target: 0.9 x);
#   - four generated 256 MiB results files whose values stand at the end,
#     against wc -l of the four files (target: 8 x).
# The large files go to a temporary folder that is removed at the end.
# usage: bench/compare.sh [GRADE]   (default: build/release/grade)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
grade=$(cd "$(dirname "${1:-$root/build/release/grade}")" && pwd)/grade
[ -x "$grade" ] || {
  echo "compare.sh: $grade: no such program; build it first:" \
       "cmake --workflow --preset release" >&2
  exit 1
}
for tool in hyperfine /usr/bin/time; do
  command -v "$tool" >/dev/null || {
    echo "compare.sh: $tool: not found (Debian packages hyperfine, time)" >&2
    exit 1
  }
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
names="libq bzip2 mcf gcc"

# mean seconds of the named command in a hyperfine CSV export
mean() { awk -F, -v name="$2" '$1 == name { print $2 }' "$1"; }

# peak resident memory of grade, in KiB, run from the current folder
peak() { /usr/bin/time -f %M -o "$tmp/peak" "$grade" >/dev/null 2>&1; cat "$tmp/peak"; }

# compare LABEL TOOL_COMMAND TARGET HYPERFINE_OPTIONS...: run from a working
# folder beside a results folder, append a row to the table
compare() {
  label=$1 other=$2 target=$3
  shift 3
  hyperfine -N --style basic "$@" --export-csv "$tmp/times.csv" \
    --command-name grade "$grade" --command-name "$other" "$other" >&2
  g=$(mean "$tmp/times.csv" grade)
  o=$(mean "$tmp/times.csv" "$other")
  awk -v l="$label" -v g="$g" -v o="$o" -v t="$target" -v p="$(peak)" 'BEGIN {
    r = g / o
    printf "%-28s %10.3f ms %10.3f ms %7.2f  %-6s %-4s %7.1f MiB\n",
      l, g * 1000, o * 1000, r, "<= " t, (r <= t && p < 16384 ? "met" : "MISS"),
      p / 1024
  }' >>"$tmp/table"
}

list() { for n in $names; do printf '%s ' "$1/Lab1.$n.res"; done; }

cd "$root/examples/student"
compare "example results, cat" "cat $(list ../results)" 0.9 \
  --warmup 50 --runs 1000

echo "generating 4 x 256 MiB results files in $tmp ..." >&2
mkdir "$tmp/results" "$tmp/student"
printf '%s\n' \
  "# warming caches, skipping the first 100000 instructions" \
  "sim: cycle 1204467 retired 652011 instructions so far" \
  "Trace: traces/bzip2.tr.gz, record 88231 of 10000000" >"$tmp/filler"
while [ "$(wc -c <"$tmp/filler")" -lt 268435456 ]; do
  cat "$tmp/filler" "$tmp/filler" >"$tmp/double"
  mv "$tmp/double" "$tmp/filler"
done
for n in $names; do
  cat "$tmp/filler" "$root/examples/results/Lab1.$n.res" \
    >"$tmp/results/Lab1.$n.res"
done
rm "$tmp/filler"
cd "$tmp/student"
compare "4 x 256 MiB, wc -l" "wc -l $(list ../results)" 8 \
  --warmup 2 --runs 10

echo
printf '%-28s %13s %13s %7s  %-6s %-4s %11s\n' case grade other ratio target '' \
  'grade peak'
cat "$tmp/table"

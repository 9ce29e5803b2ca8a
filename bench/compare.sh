#!/bin/sh
# Times whole runs of grade against plain tools on the same files, side by
# side in one hyperfine run, and reads grade's peak memory with
# /usr/bin/time:
#   - the example results, against cat of the four files (target: 0.9 x);
#   - four generated 64 MiB results files of each shape, against wc -l of
#     the four (target: 8 x): lines that carry no value with the values at
#     the end, empty lines, NUL bytes, one single line, and a first value
#     token of 64 Mi digits.
# Given several grades (a build before a change and one after), each is
# timed in the same runs and has a row of its own.
# usage: bench/compare.sh [GRADE...]   (default: build/release/grade)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -gt 0 ] || set -- "$root/build/release/grade"
for g in "$@" hyperfine /usr/bin/time; do
  command -v "$g" >/dev/null || {
    echo "compare.sh: $g: not found (build grade with the release preset;" \
         "Debian packages hyperfine, time)" >&2
    exit 1
  }
done
grades=$(for g in "$@"; do echo "$(cd "$(dirname "$g")" && pwd)/$(basename "$g")"; done)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
names="libq bzip2 mcf gcc"

# compare LABEL TOOL_COMMAND TARGET HYPERFINE_OPTIONS...: run from a working
# folder beside a results folder, append a row a grade to the table
compare() {
  label=$1 other=$2 target=$3
  shift 3
  n=0
  for g in $grades; do n=$((n + 1)); set -- "$@" -n "grade$n" "$g"; done
  hyperfine -N -i --style basic "$@" -n other "$other" \
    --export-csv "$tmp/times.csv" >&2
  n=0
  for g in $grades; do
    n=$((n + 1))
    /usr/bin/time -f %M -o "$tmp/peak" "$g" >/dev/null 2>&1 || :
    awk -F, -v l="$label" -v g="grade$n" -v t="$target" -v p="$(tail -n 1 "$tmp/peak")" '
      $1 == g { mine = $2 } $1 == "other" { theirs = $2 }
      END { r = mine / theirs
        printf "%-26s %-7s %10.3f ms %10.3f ms %6.2f  <= %-4s %-4s %6.1f MiB\n", l, g,
          mine * 1000, theirs * 1000, r, t, (r <= t && p < 16384 ? "met" : "MISS"), p / 1024 }
    ' "$tmp/times.csv" >>"$tmp/table"
  done
}

list() { for n in $names; do printf '%s ' "$1/Lab1.$n.res"; done; }

cd "$root/examples/student"
compare "example results, cat" "cat $(list ../results)" 0.9 --warmup 50 --runs 1000

# shape NAME: four results files of at least 64 MiB of what NAME prints (8
# bytes make 64 MiB exactly), each followed by the example's values
shape() {
  mkdir -p "$tmp/$1/results" "$tmp/$1/student"
  "$1" >"$tmp/fill"
  while [ "$(wc -c <"$tmp/fill")" -lt 67108864 ]; do
    cat "$tmp/fill" "$tmp/fill" >"$tmp/double" && mv "$tmp/double" "$tmp/fill"
  done
  for n in $names; do
    { [ "$1" != long_token ] || printf 'Total instructions : 1'
      cat "$tmp/fill"
      [ "$1" != long_token ] || printf 'e-67108857\n'
      [ "$1" != one_line ] || printf ': 10000000\n'
      cat "$root/examples/results/Lab1.$n.res"
    } >"$tmp/$1/results/Lab1.$n.res"
  done
  (cd "$tmp/$1/student" && compare "4 x 64 MiB $1" "wc -l $(list ../results)" 8 --warmup 2 --runs 10)
  rm -r "$tmp/$1" "$tmp/fill"
}
no_value_lines() {
  printf '%s\n' "# warming caches, skipping the first 100000 instructions" \
    "sim: cycle 1204467 retired 652011 instructions so far" \
    "Trace: traces/bzip2.tr.gz, record 88231 of 10000000"
}
empty_lines() { printf '\n\n\n\n\n\n\n\n'; }
nul_bytes() { printf '\0\0\0\0\0\0\0\0'; }
one_line() { printf 'kkkkkkkk'; }
long_token() { printf '00000000'; }
echo "generating the large files in $tmp ..." >&2
for s in no_value_lines empty_lines nul_bytes one_line long_token; do shape $s; done

echo
printf '%-26s %-7s %13s %13s %6s  %-7s %-4s %10s\n' case '' grade other ratio target '' 'grade peak'
cat "$tmp/table"

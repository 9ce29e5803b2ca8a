#!/bin/sh
# Two results files with a line of 100 MiB: in gcc the line's key runs into
# the first statistic, which must still be read; in mcf the first value is
# 1, 100 Mi zeros and the exponent that brings it back to 10000000. For a
# 32-bit target, one of more than 2 GiB too: libq's values follow a hole
# of 2 GiB (a sparse file, which reads as NUL bytes), past the offsets a
# 32-bit off_t holds. The whole output must match that of the reference
# results. Where /usr/bin/time is at hand and grade runs natively and not
# sanitized, peak memory must also stay under 16 MiB.
# usage: large_input.sh GRADE CASES_DIR SANITIZED(0|1) OVER_2_GIB(0|1)
#        [EMULATOR...]
set -u
grade=$1
cases=$2
sanitized=$3
over2gib=$4
shift 4
emulator=$*
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/work"
cp -R "$cases/reference/results" "$tmp/results"
gcc="$tmp/results/Lab1.gcc.res"
{
  head -n 4 "$cases/reference/results/Lab1.gcc.res"
  head -c 104857600 /dev/zero | tr '\0' k
  tail -n +5 "$cases/reference/results/Lab1.gcc.res"
} >"$gcc"
mcf="$tmp/results/Lab1.mcf.res"
{
  head -n 4 "$cases/reference/results/Lab1.mcf.res"
  printf 'Total instructions   : 1'
  head -c 104857600 /dev/zero | tr '\0' 0
  printf 'e-104857593\n'
  tail -n +6 "$cases/reference/results/Lab1.mcf.res"
} >"$mcf"

if [ "$over2gib" = 1 ]; then
  libq="$tmp/results/Lab1.libq.res"
  truncate -s 0 "$libq" && truncate -s 2147483648 "$libq" &&
    cat "$cases/reference/results/Lab1.libq.res" >>"$libq" || exit 1
fi

cd "$tmp/work" || exit 1
if [ "$sanitized" = 0 ] && [ -z "$emulator" ] && [ -x /usr/bin/time ]; then
  /usr/bin/time -f %M -o "$tmp/peak_kib" $emulator "$grade" >"$tmp/stdout" 2>"$tmp/stderr"
else
  $emulator "$grade" >"$tmp/stdout" 2>"$tmp/stderr"
fi
status=$?

failed=0
cmp -s "$cases/reference/stdout" "$tmp/stdout" || { echo "stdout differs"; failed=1; }
[ -s "$tmp/stderr" ] && { echo "stderr:"; cat "$tmp/stderr"; failed=1; }
[ "$status" = 0 ] || { echo "exit status $status"; failed=1; }
if [ -f "$tmp/peak_kib" ]; then
  peak=$(tail -n 1 "$tmp/peak_kib")  # after a line on a failed exit
  echo "peak memory: $peak KiB"
  [ "$peak" -lt 16384 ] || { echo "peak memory over 16 MiB"; failed=1; }
fi
exit $failed

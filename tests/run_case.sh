#!/bin/sh
# Runs one end-to-end case: the built grade, started in a working folder
# beside a copy of the case's results (a folder, or a file where the case
# tests that), and of its around folder's entries beside it and its work
# folder's in it, must write exactly the case's stdout and stderr (empty
# when the file is absent) and exit with the status in its status file (0 when
# absent). Arguments come from its args file, one a line. A case with a
# stdout_to file sends standard output to the path it names (such as
# /dev/full) instead of comparing it. Its specials file makes special
# files in results, a line each: "fifo NAME", "socket NAME", "lease
# NAME", a write lease that another process holds on the file until it is
# opened, or "rename NAME TO", where TO takes printf's escapes (\r, \040),
# for names that git cannot hold. Its modes file gives files modes, a line each: "MODE PATH", the
# path from the folder that holds results; grade then runs as user nobody
# when run as root, whom no mode stops. Its stack_kib file limits grade's
# stack to that many KiB.
# grade runs under EMULATOR where one is given (a cross-built grade under
# qemu-user).
# usage: run_case.sh GRADE CASE_DIR [EMULATOR...]
set -u
grade=$1
case=$2
shift 2
emulator=$*
tmp=$(mktemp -d) || exit 1
holder=
trap 'chmod -R u+rwx "$tmp"; rm -rf "$tmp"; [ -z "$holder" ] || kill $holder 2>/dev/null' EXIT
mkdir "$tmp/work"
[ -e "$case/results" ] && cp -R "$case/results" "$tmp/results"
# What else is beside the working folder, and in it.
[ -d "$case/around" ] && cp -R "$case/around/." "$tmp"
[ -d "$case/work" ] && cp -R "$case/work/." "$tmp/work"
if [ -f "$case/specials" ]; then
  while read -r kind name to; do
    case $kind in
      fifo) mkfifo "$tmp/results/$name" ;;
      rename) mv "$tmp/results/$name" "$tmp/results/$(printf '%b' "$to")" ;;
      socket) perl -MSocket -e 'socket(my $s, PF_UNIX, SOCK_STREAM, 0) or die;
        bind($s, pack_sockaddr_un($ARGV[0])) or die "$!\n"' "$tmp/results/$name" ;;
      # F_SETLEASE is 1024 and F_WRLCK 1; the holder says when it holds the
      # lease, and the signal that asks for it back ends the holder.
      lease) mkfifo "$tmp/held" || exit 1
        perl -e 'open(my $held, ">", $ARGV[1]) or die;
          open(my $f, "<", $ARGV[0]) or die; fcntl($f, 1024, 1) or die;
          print $held "held\n"; close $held; sleep 20' \
          "$tmp/results/$name" "$tmp/held" >/dev/null 2>&1 &
        holder=$!
        read -r held <"$tmp/held"
        [ "$held" = held ] ;;
    esac || exit 1
  done <"$case/specials"
fi
as=
if [ -f "$case/modes" ]; then
  if [ "$(id -u)" = 0 ]; then
    cp "$grade" "$tmp/grade" && grade=$tmp/grade
    chown -R nobody:nogroup "$tmp" || exit 1
    # A coverage build's counts go where nobody may write them.
    as="setpriv --reuid=nobody --regid=nogroup --clear-groups env GCOV_PREFIX=$tmp/gcov"
  fi
  # The folders last, so that their files can still be reached.
  sort -k2r "$case/modes" | while read -r mode path; do
    chmod "$mode" "$tmp/$path" || exit 1
  done || exit 1
fi
limit=:
[ -f "$case/stack_kib" ] && limit="ulimit -s $(cat "$case/stack_kib")"

set --
if [ -f "$case/args" ]; then
  while IFS= read -r arg; do set -- "$@" "$arg"; done <"$case/args"
fi
out="$tmp/stdout"
[ -f "$case/stdout_to" ] && out=$(cat "$case/stdout_to")
(cd "$tmp/work" && $limit && exec $as $emulator "$grade" "$@") \
  >"$out" 2>"$tmp/stderr"
status=$?

[ -f "$case/stderr" ] || : >"$tmp/expected_stderr"
expected_status=$(cat "$case/status" 2>/dev/null || echo 0)
failed=0
for stream in stdout stderr; do
  [ "$stream" = stdout ] && [ -f "$case/stdout_to" ] && continue
  expected="$case/$stream"
  [ -f "$expected" ] || expected="$tmp/expected_stderr"
  if ! cmp -s "$expected" "$tmp/$stream"; then
    echo "$stream differs (expected, then actual, as od -c):"
    od -c "$expected"
    od -c "$tmp/$stream"
    failed=1
  fi
done
if [ "$status" != "$expected_status" ]; then
  echo "exit status $status, expected $expected_status"
  failed=1
fi
exit $failed

#!/bin/sh
# Runs one end-to-end case: the built grade, started in a working folder
# beside a copy of the case's results (a folder, or a file where the case
# tests that), and of its around folder's entries beside it and its work
# folder's in it, must write exactly the case's stdout and stderr (empty
# when the file is absent) and exit with the status in its status file (0
# when absent). All of it stands in a folder of its own, so that what grade
# sees of ../.. is the case alone. Arguments come from its args file, one a
# line. A case with a stdout_to file sends standard output to the path it
# names (such as /dev/full, or results/Lab1.gcc.res from the folder that
# holds results) instead of comparing it; with a stderr_closed file,
# standard error is a pipe whose reader has gone (and what grade wrote
# there is not compared); with a stderr_over_limit file, standard error is
# a file that may not grow (ulimit -f 0) and standard output a pipe, which
# no file-size limit stops (skipped for a coverage build, GRADE_COVERAGE=1,
# which writes its counts at exit); with a stdin_closed file, standard input is
# closed, so that grade's first descriptor is 0. Its cwd file names a
# folder in work to run in.
# Its specials file makes special files and setups, a line each:
# "fifo NAME", "socket NAME" in results; "writer NAME", a FIFO with a
# writer waiting to open it, which must still wait after the run; "lease
# NAME", a write lease that another process holds on the file until it is
# opened; "rename NAME TO", where TO
# takes printf's escapes (\r, \040), for names that git cannot hold;
# "foreign PATH", a folder (itself, not what it holds) that another user
# then owns; "folder PATH", an empty folder; "sudo", grade run as root
# under sudo for user nobody, who owns the whole folder (SUDO_UID set);
# "no_pwd", grade run without PWD; "pwd PATH", PWD set to PATH in the
# folder that holds results; "removed", the whole
# folder removed and made again while grade's working folder stays in the
# removed one; "linked", the working folder reached through a link;
# "no_proc", grade run without /proc/self/fd, as where /proc is not
# mounted (in a mount namespace of its own, an empty folder over its
# /proc/PID/fd; the rest of /proc stays, which a sanitizer needs). Its modes file gives files modes, a line each: "MODE
# PATH", the path from the folder that holds results; grade then runs as
# user nobody when run as root, whom no mode stops. Its stack_kib file
# limits grade's stack to that many KiB (skipped for a sanitized build,
# GRADE_SANITIZED=1, whose frames are larger, and under an emulator, whose
# own stack it would limit), its nofile file the descriptors
# it may have open. In standard error, the folder that holds results reads
# as TOP. A case that needs root, run by another user, is skipped (77).
# grade runs under EMULATOR where one is given (a cross-built grade under
# qemu-user).
# usage: run_case.sh GRADE CASE_DIR [EMULATOR...]
set -u
grade=$1
case=$2
shift 2
emulator=$*
tmp=$(mktemp -d) || exit 1
top=$tmp/top
holder=
writer=
trap 'chmod -R u+rwx "$tmp"; rm -rf "$tmp"; kill $holder $writer 2>/dev/null' EXIT
mkdir -p "$top/work"
[ -e "$case/results" ] && cp -R "$case/results" "$top/results"
# What else is beside the working folder, and in it.
[ -d "$case/around" ] && cp -R "$case/around/." "$top"
[ -d "$case/work" ] && cp -R "$case/work/." "$top/work"
work=$top/work
[ -f "$case/cwd" ] && work=$work/$(cat "$case/cwd")
before=:
pwd=export
wrap=
sudo=
if [ -f "$case/specials" ]; then
  while read -r kind name to; do
    case $kind in
      fifo) mkfifo "$top/results/$name" ;;
      # Started before grade, and given time to block in open.
      writer) mkfifo "$top/results/$name" &&
        { echo written >"$top/results/$name" & } && writer=$! &&
        for i in 1 2 3 4 5 6 7 8 9 10; do
          grep -q partner "/proc/$writer/wchan" 2>/dev/null || sleep 0.05
        done ;;
      rename) mv "$top/results/$name" "$top/results/$(printf '%b' "$to")" ;;
      socket) perl -MSocket -e 'socket(my $s, PF_UNIX, SOCK_STREAM, 0) or die;
        bind($s, pack_sockaddr_un($ARGV[0])) or die "$!\n"' "$top/results/$name" ;;
      # F_SETLEASE is 1024 and F_WRLCK 1; the holder says when it holds the
      # lease, and the signal that asks for it back ends the holder.
      lease) mkfifo "$tmp/held" || exit 1
        perl -e 'open(my $held, ">", $ARGV[1]) or die;
          open(my $f, "<", $ARGV[0]) or die; fcntl($f, 1024, 1) or die;
          print $held "held\n"; close $held; sleep 20' \
          "$top/results/$name" "$tmp/held" >/dev/null 2>&1 &
        holder=$!
        read -r held <"$tmp/held"
        [ "$held" = held ] ;;
      foreign) [ "$(id -u)" = 0 ] || exit 77
        chown daemon "$top/$name${to:+ $to}" ;;
      folder) mkdir -p "$top/$name" ;;
      sudo) [ "$(id -u)" = 0 ] || exit 77
        chown -R nobody "$top" && sudo="env SUDO_UID=$(id -u nobody)" ;;
      no_pwd) pwd=unset ;;
      pwd) pwd="export PWD=$top/$name" ;;
      removed) before='rm -rf "$top" && mkdir -p "$top/work" &&
        cp -R "$case/results" "$top/results"' ;;
      linked) mkdir "$tmp/elsewhere" && mv "$top/work" "$tmp/elsewhere/work" &&
        ln -s ../elsewhere/work "$top/work" ;;
      no_proc) [ "$(id -u)" = 0 ] || exit 77
        echo 'mount -t tmpfs none /proc/$$/fd && exec "$@"' >"$tmp/no_proc" &&
        wrap="unshare -m sh $tmp/no_proc" ;;
    esac || exit 1
  done <"$case/specials"
fi
as="$wrap $sudo"
if [ -f "$case/modes" ]; then
  if [ "$(id -u)" = 0 ]; then
    cp "$grade" "$tmp/grade" && grade=$tmp/grade
    chown -R nobody:nogroup "$tmp" || exit 1
    # A coverage build's counts go where nobody may write them.
    as="setpriv --reuid=nobody --regid=nogroup --clear-groups env GCOV_PREFIX=$tmp/gcov"
  fi
  # The folders last, so that their files can still be reached.
  sort -k2r "$case/modes" | while read -r mode path; do
    chmod "$mode" "$top/$path" || exit 1
  done || exit 1
fi
limit=:
if [ -f "$case/stack_kib" ]; then
  [ "${GRADE_SANITIZED:-0}" = 0 ] && [ -z "$emulator" ] || exit 77
  limit="ulimit -s $(cat "$case/stack_kib")"
fi
# With the descriptors that the test driver may pass on closed, so that
# the limit leaves grade the same ones wherever it runs.
[ -f "$case/nofile" ] &&
  limit="$limit; exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; ulimit -n $(cat "$case/nofile")"
if [ -f "$case/stderr_closed" ]; then
  # A pipe whose read end is closed before grade starts.
  as="$as perl -e pipe(my\$r,my\$w)||die;close(\$r);open(STDERR,'>&',\$w)||die;exec(@ARGV)"
fi

set --
if [ -f "$case/args" ]; then
  while IFS= read -r arg; do set -- "$@" "$arg"; done <"$case/args"
fi
out="$tmp/stdout"
if [ -f "$case/stdout_to" ]; then
  out=$(cat "$case/stdout_to")
  case $out in /*) ;; *) out=$top/$out ;; esac
fi
[ -f "$case/stdin_closed" ] && limit="$limit; exec <&-"
run() {
  (cd "$work" && $pwd PWD && eval "$before" && eval "$limit" &&
    exec $as $emulator "$grade" "$@") 2>"$tmp/stderr_raw"
}
if [ -f "$case/stderr_over_limit" ]; then
  [ "${GRADE_COVERAGE:-0}" = 0 ] || exit 77
  limit="$limit; ulimit -f 0"
  { run "$@"; echo $? >"$tmp/status"; } | cat >"$out"
  status=$(cat "$tmp/status")
else
  run "$@" >"$out"
  status=$?
fi
sed "s|$top|TOP|g" "$tmp/stderr_raw" >"$tmp/stderr"

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
if [ -n "$writer" ] && ! kill -0 "$writer" 2>/dev/null; then
  echo "the FIFO's writer no longer waits: grade opened it"
  failed=1
fi
exit $failed

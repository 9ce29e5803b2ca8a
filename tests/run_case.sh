#!/bin/sh
# Runs one end-to-end case: the built grade, started in a working folder
# beside a copy of the case's results (a folder, or a file where the case
# tests that), must write exactly the case's stdout and stderr (empty when
# the file is absent) and exit with the status in its status file (0 when
# absent). Arguments come from its args file, one a line. A case with a stdout_to file sends standard output to
# the path it names (such as /dev/full) instead of comparing it.
# usage: run_case.sh GRADE CASE_DIR
set -u
grade=$1
case=$2
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/work"
[ -e "$case/results" ] && cp -R "$case/results" "$tmp/results"

set --
if [ -f "$case/args" ]; then
  while IFS= read -r arg; do set -- "$@" "$arg"; done <"$case/args"
fi
out="$tmp/stdout"
[ -f "$case/stdout_to" ] && out=$(cat "$case/stdout_to")
(cd "$tmp/work" && exec "$grade" "$@") >"$out" 2>"$tmp/stderr"
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

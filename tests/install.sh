#!/bin/sh
# cmake --install puts grade into bin/ and its manual page into
# share/man/man1 under the prefix given.
# usage: install.sh BUILD_DIR
set -u
prefix=$(mktemp -d) || exit 1
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null || exit 1
failed=0
[ -x "$prefix/bin/grade" ] || { echo "no bin/grade"; failed=1; }
[ -s "$prefix/share/man/man1/grade.1" ] || { echo "no share/man/man1/grade.1"; failed=1; }
exit $failed

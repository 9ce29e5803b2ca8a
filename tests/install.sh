#!/bin/sh
# cmake --install puts grade into bin/, its compressed manual page into
# share/man/man1 and README.md, the licence and the Debian changelog and
# copyright into share/doc/grade under the prefix given.
# usage: install.sh BUILD_DIR
set -u
prefix=$(mktemp -d) || exit 1
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null || exit 1
failed=0
[ -x "$prefix/bin/grade" ] || { echo "no bin/grade"; failed=1; }
gzip -t "$prefix/share/man/man1/grade.1.gz" || { echo "no share/man/man1/grade.1.gz"; failed=1; }
for f in README.md LICENSE copyright changelog.gz; do
  [ -s "$prefix/share/doc/grade/$f" ] || { echo "no share/doc/grade/$f"; failed=1; }
done
exit $failed

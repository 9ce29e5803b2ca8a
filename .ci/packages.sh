#!/bin/sh
# CI: the packages as a user meets them. The .deb must pass lintian with no
# error or warning; unpacked with dpkg-deb, it must hold a manual page that
# mandoc finds clean, and its grade must grade the reference case as the
# end-to-end test expects. The tarball's grade must have no dynamic section
# (no interpreter, no needed libraries) and, unpacked into a fresh folder,
# grade the reference case the same way.
# usage: .ci/packages.sh DEB TARBALL
set -eu
deb=$(realpath "$1")
tarball=$(realpath "$2")
case=$(realpath tests/cases/reference)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -R "$case/results" "$tmp/results"

fail() {
  echo "packages: $*" >&2
  exit 1
}
# grade GRADE: run from a new folder beside the reference results
grade() {
  work=$(mktemp -d "$tmp/work.XXXXXX")
  (cd "$work" && "$1") >"$work.out" 2>"$work.err" || fail "$1: exit status $?"
  cmp -s "$case/stdout" "$work.out" || fail "$1: standard output differs"
  [ ! -s "$work.err" ] || fail "$1: $(cat "$work.err")"
}

if ! lintian --fail-on error,warning "$deb" >"$tmp/lintian" 2>&1; then
  cat "$tmp/lintian" >&2
  fail "lintian: $deb"
fi
dpkg-deb -x "$deb" "$tmp/deb"
gzip -dc "$tmp/deb/usr/share/man/man1/grade.1.gz" | mandoc -T lint -W warning ||
  fail "$deb: manual page"
grade "$tmp/deb/usr/bin/grade"

mkdir "$tmp/tar"
tar -xzf "$tarball" -C "$tmp/tar"
set -- "$tmp"/tar/*/bin/grade
[ -x "$1" ] || fail "$tarball: no bin/grade"
readelf -d "$1" | grep -q 'no dynamic section' || fail "$1: linked dynamically"
readelf -l "$1" | grep -q INTERP && fail "$1: has an interpreter"
grade "$1"
echo "packages: $(basename "$deb") and $(basename "$tarball") grade the reference case"

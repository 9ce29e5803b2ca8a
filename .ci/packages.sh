#!/bin/sh
# CI: the packages as users meet them, in the folder the package command
# fills, and the static grade of each build tree behind them.
# - SHA256SUMS there checks with sha256sum -c and names every package.
# - Each .deb passes lintian with no error or warning and no hardening tag;
#   its manual page is clean for mandoc; its grade passes hardening-check
#   (but for control-flow protection, which this Debian's C library start
#   files cannot show) and grades the reference case as the end-to-end test
#   expects, natively or under qemu-user.
# - Each RPM package passes rpmlint (.ci/rpmlint.toml) with no error; it
#   requires nothing but rpm's own features; installed into a scratch root,
#   its grade grades the reference case, and removing it leaves the root
#   as it was.
# - Each tarball's grade is a static PIE (no interpreter, position
#   independent) whose relocations are read-only and bound at once, and,
#   unpacked into a fresh folder, grades the reference case.
# - In each build tree, the static grade's own code calls the stack
#   protector (the packaged one is stripped of the names that would show it).
# usage: .ci/packages.sh PACKAGE_DIR BUILD_DIR...
set -eu
packages=$(realpath "$1")
shift
case=$(realpath tests/cases/reference)
rpmlint_config=$(realpath .ci/rpmlint.toml)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp -R "$case/results" "$tmp/results"

fail() {
  echo "packages: $*" >&2
  exit 1
}
# emulator ARCH: what runs a grade of that processor here
emulator() {
  case $1 in
    amd64 | x86_64) ;;
    arm64 | aarch64) echo qemu-aarch64-static ;;
    *) fail "no way to run $1" ;;
  esac
}
# grade ARCH GRADE: run from a new folder beside the reference results
grade() {
  work=$(mktemp -d "$tmp/work.XXXXXX")
  (cd "$work" && $(emulator "$1") "$2") >"$work.out" 2>"$work.err" ||
    fail "$2: exit status $?"
  cmp -s "$case/stdout" "$work.out" || fail "$2: standard output differs"
  [ ! -s "$work.err" ] || fail "$2: $(cat "$work.err")"
}

cd "$packages"
sha256sum --quiet -c SHA256SUMS || fail "SHA256SUMS does not check"
for file in *.deb *.rpm *.tar.gz; do
  grep -q "  $file\$" SHA256SUMS || fail "SHA256SUMS does not name $file"
done

for deb in "$packages"/*.deb; do
  lintian -I --fail-on error,warning "$deb" >"$tmp/lintian" 2>&1 ||
    { cat "$tmp/lintian" >&2; fail "lintian: $deb"; }
  ! grep -E 'hardening-no-(bindnow|fortify-functions)' "$tmp/lintian" ||
    fail "lintian: $deb is not hardened"
  arch=$(dpkg-deb -f "$deb" Architecture)
  rm -rf "$tmp/deb" && dpkg-deb -x "$deb" "$tmp/deb"
  gzip -dc "$tmp/deb/usr/share/man/man1/grade.1.gz" |
    mandoc -T lint -W warning || fail "$deb: manual page"
  # Its objdump knows no foreign code, which only the stack clash check
  # (not part of hardening=+all) wants.
  hardening-check --nocfprotection --quiet "$tmp/deb/usr/bin/grade" 2>/dev/null ||
    fail "$deb: grade is not hardened"
  grade "$arch" "$tmp/deb/usr/bin/grade"
done

for rpm in "$packages"/*.rpm; do
  rpmlint -c "$rpmlint_config" "$rpm" >"$tmp/rpmlint" 2>&1 ||
    { cat "$tmp/rpmlint" >&2; fail "rpmlint: $rpm"; }
  rpm -qp --requires "$rpm" 2>/dev/null >"$tmp/requires"
  ! grep -v '^rpmlib(' "$tmp/requires" ||
    fail "$rpm requires more than rpm's own features"
  # A root with the folders that every system has; rpm keeps its database
  # under the root's home folder.
  root=$tmp/rpm-root
  rm -rf "$root" && mkdir -p "$root"/usr/bin "$root"/usr/share/man/man1 \
    "$root"/usr/share/doc "$root"/usr/share/licenses
  (cd "$root" && find . -path ./root -prune -o -print | sort) >"$tmp/before"
  arch=$(rpm -qp --queryformat '%{ARCH}' "$rpm" 2>/dev/null)
  rpm --root "$root" --initdb
  rpm --root "$root" --nodeps --ignorearch -i "$rpm" 2>/dev/null ||
    fail "$rpm does not install"
  grade "$arch" "$root/usr/bin/grade"
  rpm --root "$root" -e grade 2>/dev/null || fail "$rpm does not go away"
  (cd "$root" && find . -path ./root -prune -o -print | sort) >"$tmp/after"
  diff "$tmp/before" "$tmp/after" >&2 || fail "$rpm leaves files behind"
done

for tarball in "$packages"/*.tar.gz; do
  rm -rf "$tmp/tar" && mkdir "$tmp/tar" && tar -xzf "$tarball" -C "$tmp/tar"
  static=$(echo "$tmp"/tar/*/bin/grade)
  [ -x "$static" ] || fail "$tarball: no bin/grade"
  readelf -lW "$static" >"$tmp/segments"
  readelf -dW "$static" >"$tmp/dynamic"
  ! grep -q INTERP "$tmp/segments" || fail "$tarball: grade is not static"
  grep -q 'Flags:.* PIE' "$tmp/dynamic" || fail "$tarball: grade is no PIE"
  grep -q GNU_RELRO "$tmp/segments" || fail "$tarball: grade has no RELRO"
  grep -q BIND_NOW "$tmp/dynamic" || fail "$tarball: grade binds lazily"
  arch=${tarball##*-linux-}
  grade "${arch%.tar.gz}" "$static"
done
cd - >/dev/null

for build in "$@"; do
  objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$build/CMakeCache.txt")
  "$objdump" -d "$build/grade_static" |
    awk '/<_Z6resval[^>]*>:$/, /^$/' | grep -q __stack_chk_fail ||
    fail "$build/grade_static: no stack protector"
done
echo "packages: $(ls "$packages" | paste -sd ' ') check"

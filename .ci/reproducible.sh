#!/bin/bash
# CI: the package command makes the same bytes twice, from two clones in
# folders of different names and depths, at different times (the second
# one a year on, under faketime) and under umask 022 and 077, with
# SOURCE_DATE_EPOCH unset: every .deb, .rpm and tarball, and so the
# binaries in them, must have the same sha256.
# usage: .ci/reproducible.sh
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# build FOLDER UMASK [COMMAND PREFIX...]: clone, make the packages, list
# their sums
build() {
  local folder=$1 mask=$2
  shift 2
  git clone -q . "$folder"
  if ! (cd "$folder" && umask "$mask" && env -u SOURCE_DATE_EPOCH "$@" sh -c \
    'cmake --workflow --preset packages && cmake --workflow --preset packages-arm64' \
    >"$folder.log" 2>&1); then
    tail -n 20 "$folder.log"
    exit 1
  fi
  (cd "$folder/build/packages" && sha256sum -- *.deb *.rpm *.tar.gz)
}

build "$tmp/a" 022 >"$tmp/first"
build "$tmp/second/clone-b" 077 faketime -f +365d >"$tmp/second.sums"
cat "$tmp/first"
if ! diff "$tmp/first" "$tmp/second.sums"; then
  echo "reproducible: the second build differs" >&2
  exit 1
fi
echo "reproducible: $(wc -l <"$tmp/first") packages, the same twice"

#!/bin/bash
# CI: the oldest CMake the project claims, Debian 11's 3.18, configures,
# builds and runs every test with plain commands, as it knows no presets.
# Its packages, and those it needs that this machine lacks, are fetched
# with apt into a temporary folder and unpacked there, not installed, from
# the archive this machine's apt uses. Where that archive cannot be
# reached, one line says the check was skipped and why, and the script
# succeeds.
# usage: .ci/old_cmake.sh
set -euo pipefail
cd "$(dirname "$0")/.."
suite=bullseye
build=build/cmake-3.18
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
skip() {
  echo "CMake 3.18 check skipped: $*"
  exit 0
}

. /etc/os-release
uri=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' |
  awk -v r="${VERSION_CODENAME:-}" '$2 == r { print $1; exit }')
[ -n "$uri" ] || skip "this machine's apt sources name no Debian archive"
mkdir -p "$tmp/lists/partial" "$tmp/cache" "$tmp/parts" "$tmp/debs" "$tmp/root"
echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
  "$uri $suite main" >"$tmp/sources.list"
: >"$tmp/status"
apt_opts=(-q -o Dir::Etc::sourcelist="$tmp/sources.list"
  -o Dir::Etc::sourceparts="$tmp/parts" -o Dir::State::Lists="$tmp/lists"
  -o Dir::State::status="$tmp/status" -o Dir::Cache="$tmp/cache"
  -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
apt-get "${apt_opts[@]}" update >"$tmp/log" 2>&1 ||
  skip "Debian $suite's package lists cannot be fetched ($(tail -n 1 "$tmp/log"))"

installed() {
  dpkg-query -W -f '${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}
# cmake and cmake-data always; of what they need, what is not installed.
want=(cmake cmake-data)
for ((i = 0; i < ${#want[@]}; i++)); do
  for dep in $(apt-cache "${apt_opts[@]}" depends --no-recommends \
    --no-suggests --no-conflicts --no-breaks --no-replaces --no-enhances \
    "${want[$i]}" | awk '$1 ~ /^\|?Depends:$/ && $2 !~ /^</ { print $2 }'); do
    installed "$dep" || [[ " ${want[*]} " == *" $dep "* ]] || want+=("$dep")
  done
done
(cd "$tmp/debs" && apt-get "${apt_opts[@]}" download "${want[@]}" >"$tmp/log" 2>&1) ||
  skip "Debian $suite's packages cannot be fetched ($(tail -n 1 "$tmp/log"))"
for deb in "$tmp"/debs/*.deb; do dpkg-deb -x "$deb" "$tmp/root"; done
echo "unpacked from Debian $suite: ${want[*]}"

export PATH="$tmp/root/usr/bin:$PATH"
LD_LIBRARY_PATH=$(find "$tmp/root" -name '*.so*' -printf '%h\n' | sort -u | paste -sd:)
export LD_LIBRARY_PATH
cmake --version | head -n 1
rm -rf "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGRADE_WERROR=ON
cmake --build "$build" -j 2
cd "$build" && ctest --output-on-failure

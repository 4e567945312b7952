#!/usr/bin/env bash
# Builds the Debian package of the build tree BUILD with cpack in a scratch folder and checks
# its control fields (Depends on the Qt 6 libraries, from dpkg-shlibdeps), its file list, and
# that the packaged binaries are stripped, keep no run path and work once unpacked.
# Usage: deb_package_test.sh BUILD VERSION
# Exit code 77 (a skip for CTest) when dpkg-shlibdeps is missing.
set -euo pipefail

build=$1
version=$2

if ! command -v dpkg-shlibdeps >/dev/null; then
  echo "SKIP: dpkg-shlibdeps not found; install dpkg-dev (scripts/setup.sh does) to build the package"
  exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack -G DEB failed"; }
shopt -s nullglob
debs=("$scratch"/out/*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one .deb, found ${#debs[@]}"
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "vexa_${version}_${arch}.deb" ] || fail "package named $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vexa ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Description)" ] || fail "no Description"

# Depends names the runtime packages of every library linked: the Qt 6 ones (widgets, charts,
# core, gui), fontconfig and the C and C++ runtimes.
depends=$(field Depends)
echo "Depends: $depends"
depended=$(tr ',|' '\n' <<<"$depends" | awk '{print $1}')
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6charts6 libfontconfig1 libc6 \
  libstdc++6; do
  grep -qxF "$package" <<<"$depended" || fail "Depends lacks $package: $depends"
done

listing=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | LC_ALL=C sort)
expected="./usr/bin/vexa
./usr/bin/vexa-cli
./usr/bin/vexa-instrument-sim
./usr/lib/vexa/libvexa-gpib-sim.so
./usr/share/applications/vexa.desktop
./usr/share/icons/hicolor/scalable/apps/vexa.svg
./usr/share/man/man1/vexa-cli.1
./usr/share/man/man1/vexa.1"
if [ "$listing" != "$expected" ]; then
  diff <(echo "$expected") <(echo "$listing") >&2 || true
  fail "the package's files differ from the expected list (< expected, > packaged)"
fi

root=$scratch/root
dpkg-deb -x "$deb" "$root"
for program in usr/bin/vexa usr/bin/vexa-cli usr/lib/vexa/libvexa-gpib-sim.so; do
  if readelf -S "$root/$program" | grep -q '\.debug_'; then
    fail "$program is packaged with its debugging information"
  fi
  if readelf -d "$root/$program" | grep -Eq 'R(UN)?PATH'; then
    fail "$program is packaged with a run path: $(readelf -d "$root/$program" | grep -E 'R(UN)?PATH')"
  fi
done
[ "$("$root/usr/bin/vexa-cli" --version)" = "vexa-cli $version" ] ||
  fail "packaged vexa-cli --version printed '$("$root/usr/bin/vexa-cli" --version)'"
echo "package OK: $(basename "$deb")"

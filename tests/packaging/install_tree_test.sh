#!/usr/bin/env bash
# Installs the build tree BUILD into a scratch prefix and checks what lands there: exactly the
# expected files, no build-tree run path in the binaries, the installed vexa-cli and vexa
# working on their own, the manual pages rendering without warnings and the menu entry valid.
# Usage: install_tree_test.sh BUILD VERSION
set -euo pipefail

build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" ||
  { cat "$scratch/install.log" >&2; fail "cmake --install failed"; }

expected="bin/vexa
bin/vexa-cli
bin/vexa-instrument-sim
lib/vexa/libvexa-gpib-sim.so
share/applications/vexa.desktop
share/icons/hicolor/scalable/apps/vexa.svg
share/man/man1/vexa-cli.1
share/man/man1/vexa.1"
actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  fail "the installed files differ from the expected list (< expected, > installed)"
fi

for program in bin/vexa bin/vexa-cli bin/vexa-instrument-sim; do
  [ -x "$prefix/$program" ] || fail "$program is not executable"
done
# The simulator server finds its library in the private folder.
"$prefix/bin/vexa-instrument-sim" --help >/dev/null ||
  fail "the installed vexa-instrument-sim does not start"
for program in bin/vexa bin/vexa-cli lib/vexa/libvexa-gpib-sim.so; do
  # The build tree's run path must not survive the install: the installed programs would
  # otherwise pick up libraries from a build tree that may change or vanish.
  if readelf -d "$prefix/$program" | grep -E 'R(UN)?PATH' | grep -qF "$(cd "$build" && pwd)"; then
    fail "$program keeps a run path into the build tree"
  fi
done

# The installed vexa-cli runs from the prefix alone (no build tree on any path) and the
# installed simulator library serves it as GPIB driver.
cli=$prefix/bin/vexa-cli
[ "$(cd "$scratch" && "$cli" --version)" = "vexa-cli $version" ] ||
  fail "installed vexa-cli --version printed '$("$cli" --version)', expected 'vexa-cli $version'"
channel=$(cd "$scratch" && LC_ALL=C "$cli" channel E-GSM 62)
grep -q "MS Tx  902.4  MHz" <<<"$channel" || fail "installed vexa-cli channel E-GSM 62: $channel"
idn=$(cd "$scratch" && VEXA_GPIB_LIBRARY=$prefix/lib/vexa/libvexa-gpib-sim.so \
  "$cli" console testset "*IDN?" 2>&1) || fail "installed simulator: console testset failed: $idn"
grep -q -- "--->" <<<"$idn" || fail "installed simulator gave no answer to *IDN?: $idn"

# The installed window program starts and paints its window (offscreen), then ends at once.
started=$(cd "$scratch" && QT_QPA_PLATFORM=offscreen VEXA_STARTUP_PROBE=1 timeout 60 \
  "$prefix/bin/vexa" 2>&1) || fail "installed vexa did not start: $started"
grep -q "^startup-probe mapped_ns=" <<<"$started" || fail "installed vexa did not paint: $started"

for page in vexa vexa-cli; do
  man_page=$prefix/share/man/man1/$page.1
  warnings=$(groff -man -Tutf8 -ww -z "$man_page" 2>&1) || fail "groff failed on $page.1"
  [ -z "$warnings" ] || fail "$page.1 renders with warnings: $warnings"
  head -n 3 "$man_page" | grep -q "^\.TH ${page^^} 1 .*\"VEXA $version\"" ||
    fail "$page.1 does not name itself and VEXA $version in its .TH line"
done

desktop-file-validate "$prefix/share/applications/vexa.desktop" ||
  fail "vexa.desktop does not validate"
echo "install tree OK: $prefix"

#!/usr/bin/env bash
# Builds VEXA for installing (optimised, without the tests) in ./build-release, makes its
# Debian package there (vexa_VERSION_ARCH.deb: the programs stripped, Depends worked out by
# dpkg-shlibdeps) and installs it with apt-get, which brings in the Qt 6 libraries it needs.
#   bash scripts/package.sh               # build, package, install
#   bash scripts/package.sh --no-install  # build and package only
# Further arguments go to CMake. VEXA_BUILD chooses another build folder.
install=1
if [ "${1:-}" = "--no-install" ]; then
  install=0
  shift
fi
VEXA_BUILD="${VEXA_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build-release}"
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
vexa_install_packages
# -O2 as Debian builds its packages; the debugging information is stripped from the package.
vexa_build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXA_BUILD_TESTS=OFF -DVEXA_BUILD_BENCH=OFF \
  -DVEXA_FUZZ=OFF "$@"

rm -f "$VEXA_BUILD"/vexa_*.deb
cpack -G DEB --config "$VEXA_BUILD/CPackConfig.cmake" -B "$VEXA_BUILD"
debs=("$VEXA_BUILD"/vexa_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "package.sh: cpack wrote no package" >&2; exit 1; }
echo "Package: $deb"
dpkg-deb -f "$deb" Package Version Depends

if [ "$install" -eq 1 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  # --reinstall: a package rebuilt with the same version still replaces the installed one.
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --reinstall "$deb"
  echo "Installed: $(command -v vexa) $(command -v vexa-cli) ($(vexa-cli --version))"
fi

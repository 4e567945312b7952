# Shared by run.sh and test.sh: installs the Debian packages the build needs (only those
# missing) and configures and builds VEXA in ./build. Source it; don't run it.
set -euo pipefail

VEXA_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VEXA_BUILD="${VEXA_BUILD:-$VEXA_ROOT/build}"

VEXA_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev libfontconfig-dev
  libgtest-dev libgmock-dev libsimpleini-dev
  fonts-liberation fonts-wqy-microhei
  locales-all
  dpkg-dev desktop-file-utils groff-base
  python3-pyvisa python3-pyvisa-py ccache
)

# Installs VEXA_PACKAGES and any packages named as arguments, where missing.
vexa_install_packages() {
  local missing=()
  for package in "${VEXA_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# vexa_build [CMAKE_ARGS...]: configures $VEXA_BUILD and builds everything, or only the
# targets named in VEXA_TARGETS (for example instrument_suites).
vexa_build() {
  # ccache, when installed, lets a second build folder (sanitizers, benchmarks) reuse the
  # objects of the first: paths are taken relative to the tree, and the build folder is not
  # part of the key.
  local launcher=()
  if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$VEXA_ROOT}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$VEXA_ROOT" -B "$VEXA_BUILD" -G Ninja "${launcher[@]}" "$@"
  local targets=()
  [ -n "${VEXA_TARGETS:-}" ] && read -r -a targets <<<"$VEXA_TARGETS"
  cmake --build "$VEXA_BUILD" ${targets[@]+--target "${targets[@]}"}
}

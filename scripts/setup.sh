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

vexa_build() {
  cmake -S "$VEXA_ROOT" -B "$VEXA_BUILD" -G Ninja "$@"
  cmake --build "$VEXA_BUILD"
}

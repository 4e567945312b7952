#!/usr/bin/env bash
# Installs what is missing, builds VEXA and starts it. The instrument pages talk to the
# bundled instrument simulator unless VEXA_GPIB_LIBRARY names another GPIB driver library.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
vexa_install_packages
vexa_build
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "VEXA is built ($VEXA_BUILD/src/app/vexa) but there is no display to show it on." >&2
  exit 1
fi
export VEXA_GPIB_LIBRARY="${VEXA_GPIB_LIBRARY:-$VEXA_BUILD/src/sim/libvexa-gpib-sim.so}"
exec "$VEXA_BUILD/src/app/vexa" "$@"

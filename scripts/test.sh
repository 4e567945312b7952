#!/usr/bin/env bash
# Installs what is missing, builds VEXA with its tests and runs the whole suite.
# Extra arguments go to CMake (for example -DVEXA_SANITIZE=address,undefined).
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
vexa_install_packages
vexa_build -DVEXA_BUILD_TESTS=ON "$@"
ctest --test-dir "$VEXA_BUILD" -j"$(nproc)" --output-on-failure

#!/usr/bin/env bash
# Installs what is missing, builds VEXA with its tests and runs the whole suite.
# Extra arguments go to CMake (for example -DVEXA_SANITIZE=address,undefined).
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
# libclang-rt-14-dev: the header the console fuzz target decodes its input with, for the
# replay of its corpus (tests/fuzz/CMakeLists.txt).
vexa_install_packages libclang-rt-14-dev
vexa_build -DVEXA_BUILD_TESTS=ON "$@"
# A test that hangs fails after 5 minutes instead of holding up the whole run (the slowest
# test takes seconds; the packaging tests set a longer limit of their own).
ctest --test-dir "$VEXA_BUILD" -j"$(nproc)" --output-on-failure --timeout 300

#!/usr/bin/env bash
# Builds the SCPI message benchmark (bench/scpi_bench.cpp) in ./build-bench, optimised, without
# the test suite, and runs it: the simulated instruments' time per KB on the costliest
# messages, and on any files given (e.g. the slowest input fuzz_scpi wrote). Exits with 1 when
# a message takes more than 1 ms per KB.
#
#   bash bench/scpi_bench.sh [--rounds N] [FILE...]
# Set VEXA_BUILD for another build directory.
bench_build="${VEXA_BUILD:-}"
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
VEXA_BUILD="${bench_build:-$VEXA_ROOT/build-bench}"

vexa_install_packages
# -O2, as the Debian package is built.
cmake -S "$VEXA_ROOT" -B "$VEXA_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DVEXA_BUILD_TESTS=OFF -DVEXA_BUILD_BENCH=ON
cmake --build "$VEXA_BUILD" --target scpi_bench

"$VEXA_BUILD/bench/scpi_bench" "$@"

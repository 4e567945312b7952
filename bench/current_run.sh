#!/usr/bin/env bash
# Builds the current drain test benchmark (bench/current_run_bench.cpp) in ./build-bench,
# optimised, without the test suite, and runs it on the instrument simulator of that build.
#
#   bash bench/current_run.sh [-n ROUNDS] [--readings N] [--long N | --no-long]
#
# Prints the engine's readings per second (sample lines on) against a raw loop of the same bus
# calls and their ratio, then the time, log size and peak memory of a long run (2,000,000
# readings by default). Set VEXA_BUILD for another build directory.
# The set-up script gives VEXA_BUILD its own default (./build, the test build): keep the
# caller's choice from before it, or use ./build-bench, never the test build.
bench_build="${VEXA_BUILD:-}"
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
VEXA_BUILD="${bench_build:-$VEXA_ROOT/build-bench}"

vexa_install_packages
# -O2, as the Debian package is built.
cmake -S "$VEXA_ROOT" -B "$VEXA_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DVEXA_BUILD_TESTS=OFF -DVEXA_BUILD_BENCH=ON
cmake --build "$VEXA_BUILD" --target current_run_bench vexa-gpib-sim

VEXA_GPIB_LIBRARY="$VEXA_BUILD/src/sim/libvexa-gpib-sim.so" "$VEXA_BUILD/bench/current_run_bench" "$@"

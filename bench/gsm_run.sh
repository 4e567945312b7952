#!/usr/bin/env bash
# Builds the GSM test run benchmarks (bench/gsm_run_bench.cpp, bench/gsm_page_stall.cpp) in
# ./build-bench, optimised, without the test suite, and runs gsm_run_bench on the instrument
# simulator of that build.
#
#   bash bench/gsm_run.sh [-n RUNS] [--no-scan] [--breakdown]
#
# Prints the engine's time for the start-up plan against a raw replay of the same bus traffic
# (median of RUNS, default 20) and their ratio, then the time, result lines and peak memory of
# a scan-mode run of all four bands (some seconds); --breakdown adds where the engine spends its
# time. Set VEXA_BUILD for another build directory.
# The set-up script gives VEXA_BUILD its own default (./build, the test build): keep the
# caller's choice from before it, or use ./build-bench, never the test build.
bench_build="${VEXA_BUILD:-}"
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
VEXA_BUILD="${bench_build:-$VEXA_ROOT/build-bench}"

vexa_install_packages
# -O2, as the Debian package is built.
cmake -S "$VEXA_ROOT" -B "$VEXA_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DVEXA_BUILD_TESTS=OFF -DVEXA_BUILD_BENCH=ON
cmake --build "$VEXA_BUILD" --target gsm_run_bench gsm_page_stall vexa-gpib-sim

VEXA_GPIB_LIBRARY="$VEXA_BUILD/src/sim/libvexa-gpib-sim.so" "$VEXA_BUILD/bench/gsm_run_bench" "$@"

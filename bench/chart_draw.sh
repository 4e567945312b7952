#!/usr/bin/env bash
# Builds the chart benchmark (bench/chart_draw.cpp) in ./build-bench, optimised, without the
# test suite, and runs it on Qt's offscreen platform.
#
#   bash bench/chart_draw.sh [-n RUNS]
#
# Prints, for the FILTER and the PLL page, the median time of "Calc" with the chart painted
# against the same points drawn in bare Qt Charts line series, and their ratio. Set VEXA_BUILD
# for another build directory.
# The set-up script gives VEXA_BUILD its own default (./build, the test build): keep the
# caller's choice from before it, or use ./build-bench, never the test build.
bench_build="${VEXA_BUILD:-}"
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
VEXA_BUILD="${bench_build:-$VEXA_ROOT/build-bench}"

vexa_install_packages
# -O2, as the Debian package is built.
cmake -S "$VEXA_ROOT" -B "$VEXA_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DVEXA_BUILD_TESTS=OFF -DVEXA_BUILD_BENCH=ON
cmake --build "$VEXA_BUILD" --target chart_draw

QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$VEXA_BUILD/bench/chart_draw" "$@"

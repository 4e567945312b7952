#!/usr/bin/env bash
# Builds the GSM test run benchmarks (bench/gsm_run_bench.cpp, bench/gsm_page_stall.cpp) and
# vexa-cli in ./build-bench, optimised, without the test suite, and runs them on the instrument
# simulator of that build.
#
#   bash bench/gsm_run.sh [-n RUNS] [--no-scan] [--breakdown]
#
# Prints the engine's time for the start-up plan against a raw replay of the same bus traffic
# (median of RUNS, default 20) and their ratio (goal: 1.2 at most), then a scan-mode run of all
# four bands at every level with every item (537,219 result lines) three ways, each with its
# peak memory: in the engine alone, through `vexa-cli gsm-test` (goal: 32 MB at most) and on
# the 8960 page of the real main window on Qt's offscreen platform (gsm_page_stall, goal:
# 120 MB at most, with how long the window was ever kept busy). --breakdown adds where the
# engine spends its time. Set VEXA_BUILD for another build directory.
# The set-up script gives VEXA_BUILD its own default (./build, the test build): keep the
# caller's choice from before it, or use ./build-bench, never the test build.
bench_build="${VEXA_BUILD:-}"
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
VEXA_BUILD="${bench_build:-$VEXA_ROOT/build-bench}"

vexa_install_packages
# -O2, as the Debian package is built.
cmake -S "$VEXA_ROOT" -B "$VEXA_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DVEXA_BUILD_TESTS=OFF -DVEXA_BUILD_BENCH=ON
cmake --build "$VEXA_BUILD" --target gsm_run_bench gsm_page_stall vexa-cli vexa-gpib-sim

export VEXA_GPIB_LIBRARY="$VEXA_BUILD/src/sim/libvexa-gpib-sim.so"
"$VEXA_BUILD/bench/gsm_run_bench" --cli "$VEXA_BUILD/src/cli/vexa-cli" "$@"

for arg in "$@"; do
  [ "$arg" = "--no-scan" ] && exit 0
done
echo "scan mode on the 8960 page (gsm_page_stall, Qt offscreen):"
status=0
QT_QPA_PLATFORM=offscreen "$VEXA_BUILD/bench/gsm_page_stall" >"$VEXA_BUILD/gsm_page_stall.txt" ||
  status=$?
sed 's/^/  /' "$VEXA_BUILD/gsm_page_stall.txt"
peak=$(sed -n 's/^peak memory (whole window): \([0-9]*\) MB$/\1/p' "$VEXA_BUILD/gsm_page_stall.txt")
echo "  peak RSS of the window ${peak:-?} MB (goal <= 120 MB)"
# gsm_page_stall fails when the window was kept busy over 50 ms at a time.
exit "$status"

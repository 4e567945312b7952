#!/usr/bin/env bash
# Builds the libFuzzer targets under tests/fuzz/ (clang, ASan + UBSan) in ./build-fuzz and runs
# each for SECONDS (default 60) on a scratch copy of its seed corpus, so the repository is not
# modified. Fails when any target reports a crash or a broken invariant; the input is kept in
# build-fuzz/fuzz-artifacts/<target>/ and the target's log beside it.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]      (targets: fuzz_convert fuzz_harmonics
#                                                    fuzz_console fuzz_plan_file
#                                                    fuzz_gsm_answers fuzz_touchstone
#                                                    fuzz_lineup_csv fuzz_scpi
#                                                    fuzz_instrument_address
#                                                    fuzz_file_reader; default all)
# Re-run one finding: build-fuzz/tests/fuzz/<target> build-fuzz/fuzz-artifacts/<target>/crash-...
# The seed corpora (with the inputs that once found a fault) also run in the ordinary test
# build, each as the ctest test fuzz_corpus_<target> (tests/fuzz/replay_main.cpp).
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

all_targets=(fuzz_convert fuzz_harmonics fuzz_console fuzz_plan_file fuzz_gsm_answers
  fuzz_touchstone fuzz_lineup_csv fuzz_scpi fuzz_instrument_address fuzz_file_reader)

seconds=60
if [ $# -gt 0 ] && [[ $1 =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
if [ "$seconds" -le 0 ]; then
  echo "fuzz.sh: SECONDS must be at least 1" >&2
  exit 2
fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")
for target in "${targets[@]}"; do
  if [[ " ${all_targets[*]} " != *" $target "* ]]; then
    echo "fuzz.sh: unknown target '$target' (known: ${all_targets[*]})" >&2
    exit 2
  fi
done

vexa_install_packages clang libfuzzer-14-dev

build="${VEXA_FUZZ_BUILD:-$VEXA_ROOT/build-fuzz}"
cmake -S "$VEXA_ROOT" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVEXA_FUZZ=ON -DVEXA_BUILD_TESTS=OFF -DVEXA_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only the targets and what they link (vexa_core, the scripted GPIB driver).
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]}"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
artifacts="$build/fuzz-artifacts"
failed=()
for target in "${targets[@]}"; do
  corpus="$scratch/$target"
  mkdir -p "$corpus" "$artifacts/$target"
  cp "$VEXA_ROOT/tests/fuzz/corpus/$target/"* "$corpus/"
  log="$artifacts/$target.log"
  # A target's keywords, where it has them (tests/fuzz/<target>.dict).
  dict=()
  [ -f "$VEXA_ROOT/tests/fuzz/$target.dict" ] && dict=(-dict="$VEXA_ROOT/tests/fuzz/$target.dict")
  echo "--- $target: ${seconds} s"
  if "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/$target/" "${dict[@]}" "$corpus" \
    >"$log" 2>&1; then
    grep -E '^(INFO: Seed|Done|stat::(number_of_executed_units|peak_rss_mb|new_units_added))' \
      "$log" || true
  else
    echo "$target FAILED (full log: $log):"
    tail -n 80 "$log"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzz targets with findings: ${failed[*]}" >&2
  exit 1
fi
echo "Fuzz targets passed: ${targets[*]} (${seconds} s each)"

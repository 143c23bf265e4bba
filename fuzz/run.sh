#!/usr/bin/env bash
# Builds the libFuzzer targets in ./build-fuzz (clang++, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a bounded time.
#   fuzz/run.sh                  every target, FUZZ_TIME seconds each (45)
#   fuzz/run.sh fuzz_orig ...    only the named targets
# Seeds come from examples/, tests/data/ and fuzz/seeds/<target>/; findings
# (crash-*, leak-*, timeout-*, oom-*) are left in build-fuzz/findings/<target>/.
# Exits with 1 when any target reports a finding.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${FUZZ_BUILD_DIR:-build-fuzz}
time_each=${FUZZ_TIME:-45}
jobs=${FUZZ_BUILD_JOBS:-2}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz/run.sh: clang++ is needed for libFuzzer" >&2
  exit 1
fi

all_targets=(fuzz_params fuzz_orig fuzz_sim_file fuzz_sim_analyzer fuzz_distrib
             fuzz_tf_flags fuzz_tf_pwmset fuzz_tf_bgset fuzz_tf_fingerprints fuzz_tf_targetsets)
targets=("${@:-${all_targets[@]}}")

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVANDREL_FUZZ=ON -DVANDREL_TESTS=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]}"

# seed <target> <file>...: copies each existing file into the target's seed
# corpus, cut to 16 KiB so that big examples do not slow every run.
seed() {
  local dir=$build/corpus/$1; shift
  mkdir -p "$dir"
  local f
  for f in "$@"; do
    [ -f "$f" ] || continue
    head -c 16384 "$f" >"$dir/seed-$(basename "$(dirname "$f")")-$(basename "$f")"
  done
}

shopt -s nullglob
for t in "${targets[@]}"; do
  rm -rf "$build/corpus/$t"
  mkdir -p "$build/corpus/$t" "$build/findings/$t"
  seed "$t" fuzz/seeds/"$t"/*
done
seed fuzz_params examples/*/params.txt tests/data/*/*params*.txt
seed fuzz_orig examples/*/*.orig tests/data/*/*.orig
seed fuzz_sim_file examples/*/*.sim tests/data/*/*.sim
seed fuzz_sim_analyzer examples/*/*.sim tests/data/*/*.sim
seed fuzz_distrib examples/*/*.distrib tests/data/*/*.distrib
seed fuzz_tf_pwmset examples/tfenrich/pwms*.txt tests/data/tfenrich/*pwm*
seed fuzz_tf_bgset examples/tfenrich/bg*.txt tests/data/tfenrich/*bg*
seed fuzz_tf_fingerprints examples/tfenrich/fp*.txt tests/data/tfenrich/*fp*
seed fuzz_tf_targetsets examples/tfenrich/targets*.txt tests/data/tfenrich/*tar*
# Regression inputs of earlier findings go back in as seeds.
for f in tests/data/fuzz/*; do
  t=${f##*/}; t=${t%%-*}
  [ -d "$build/corpus/$t" ] && cp "$f" "$build/corpus/$t/"
done

# The targets write each input to a scratch directory under TMPDIR.
export TMPDIR=$root/$build/tmp
rm -rf "$TMPDIR" && mkdir -p "$TMPDIR"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for t in "${targets[@]}"; do
  echo "== $t (${time_each}s)"
  if ! (cd "$build/findings/$t" &&
        "$root/$build/fuzz/$t" -max_total_time="$time_each" -timeout=10 -rss_limit_mb=2048 \
          -max_len=16384 -print_final_stats=0 "$root/$build/corpus/$t" \
          >"$root/$build/findings/$t/log.txt" 2>&1); then
    failed+=("$t")
    tail -n 40 "$build/findings/$t/log.txt" >&2
  else
    grep -E '^(#[0-9]+[[:space:]]+DONE|Done [0-9]+ runs)' "$build/findings/$t/log.txt" | tail -n 1 || true
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz/run.sh: findings in: ${failed[*]} (see $build/findings/)" >&2
  exit 1
fi
echo "fuzz/run.sh: no findings"

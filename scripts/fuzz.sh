#!/usr/bin/env bash
# A longer fuzzing run than the bounded one of the tests:
#   bash scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# Builds the libFuzzer targets with clang in out/fuzz (or $ORVIX_FUZZ_DIR),
# then runs each target (default: all of them, see tests/fuzz) for the given
# time (default 600 s) on one core, with the corpora, dictionary and limits
# of its test (out/fuzz/fuzz-targets/TARGET.args).
# Findings (crash-*, leak-*, timeout-*) are written to out/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-600}
shift || true
targets=("$@")
dir=${ORVIX_FUZZ_DIR:-$root/out/fuzz}

cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVIX_FUZZ=ON -DORVIX_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
if ((${#targets[@]} == 0)); then
  for f in "$dir"/fuzz-targets/*.args; do
    t=$(basename "$f" .args)
    targets+=("$t")
  done
fi
cmake --build "$dir" -j 2 --target "${targets[@]}"

mkdir -p "$dir/findings"
status=0
for t in "${targets[@]}"; do
  # First line: the program; then one argument per line.
  mapfile -t args <"$dir/fuzz-targets/$t.args"
  echo "== $t for ${seconds}s"
  if ! "${args[0]}" -max_total_time="$seconds" -artifact_prefix="$dir/findings/$t-" -print_final_stats=1 \
      "${args[@]:1}"; then
    echo "FAILED: $t (see $dir/findings)"
    status=1
  fi
done
exit $status

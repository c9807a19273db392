#!/usr/bin/env bash
# A longer fuzzing run of the HTML unit than the bounded one of the tests:
#   bash scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# Builds the libFuzzer targets with clang in out/fuzz (or $ORVIX_FUZZ_DIR),
# then runs each target for the given time (default 600 s) on one core.
# Findings (crash-*, leak-*, timeout-*) are written to out/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-600}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(html_reader_fuzz html_parser_fuzz html_formatter_fuzz)
fi
dir=${ORVIX_FUZZ_DIR:-$root/out/fuzz}

cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVIX_FUZZ=ON -DORVIX_TESTS=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$dir" -j 2 --target "${targets[@]}"

mkdir -p "$dir/findings"
status=0
for t in "${targets[@]}"; do
  corpus="$dir/tests/fuzz/html/corpus/$t"
  mkdir -p "$corpus"
  echo "== $t for ${seconds}s"
  if ! "$dir/tests/fuzz/html/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -dict="$root/tests/fuzz/html/html.dict" -artifact_prefix="$dir/findings/$t-" \
      -print_final_stats=1 "$corpus" "$root/tests/html/data"; then
    echo "FAILED: $t (see $dir/findings)"
    status=1
  fi
done
exit $status

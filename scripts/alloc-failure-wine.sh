#!/usr/bin/env bash
# Every allocation of a run failing in turn under Wine, every N (the test
# command's test_alloc_failure_wine takes every 25th): the query with
# "Yinele", the refused login with "Tekrar", and -getmyip, each in one
# quota-alloc-probe.exe process (tests/quota/alloc_wine_test.py).
#
#   scripts/alloc-failure-wine.sh [BUILD_DIR [STRIDE]]    default out/win64, 1
#
# BUILD_DIR is a Windows build tree with quota-alloc-probe built (the 32-bit
# one where this machine runs 32-bit programs; where it does not,
# `scripts/wine32-vm.sh --alloc-every` runs this script in an emulated machine).
# The bench is started for the run and stopped again. Takes about 80 minutes
# on 64-bit (some 2,000 runs of about 2.3 s), 1 hour 51 minutes on 32-bit in the
# emulated machine; prints the counts per path of each job.
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:-$SRC/out/win64}" && pwd)
STRIDE=${2:-1}
BENCH=$BUILD/wine
bash "$SRC/scripts/wine-bench.sh" start "$BENCH"
trap 'bash "$SRC/scripts/wine-bench.sh" stop "$BENCH"' EXIT
ORVIX_WINE_DIR=$BENCH ORVIX_SOURCE_DIR=$SRC ORVIX_BINARY_DIR=$BUILD ORVIX_ALLOC_STRIDE=$STRIDE \
  python3 "$SRC/tests/quota/alloc_wine_test.py"

#!/usr/bin/env bash
# Runs the benchmark program; it prints its own comparison tables at the end.
set -euo pipefail
build=${1:-build}
exec "$build/bench/voltare-bench" "${@:2}"

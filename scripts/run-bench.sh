#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the benchmark program; it prints its own comparison tables at the end.
set -euo pipefail
build=${1:-build}
exec "$build/bench/voltare-bench" "${@:2}"

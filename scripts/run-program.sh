#!/usr/bin/env bash
# Starts the best program the build has: the desktop window when it exists,
# else the command-line tool's help, else a list of what was built.
set -euo pipefail
build=${1:-build}

if [ -x "$build/src/gui/voltare" ]; then
  exec "$build/src/gui/voltare"
elif [ -x "$build/src/cli/voltare-cli" ]; then
  exec "$build/src/cli/voltare-cli" --help
else
  echo "KOVA Voltare: the desktop program and voltare-cli are not built yet."
  echo "Built so far:"
  find "$build" -name 'libvoltare_*.a' -printf '  %f\n' | sort
  find "$build/tests" -maxdepth 2 -name '*_tests' -type f -printf '  %f\n' 2>/dev/null | sort
fi

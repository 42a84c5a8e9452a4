#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts the best program the build has: the desktop window when it exists,
# else the command-line tool's help, else a list of what was built.
set -euo pipefail
build=${1:-build}

if [ -x "$build/src/gui/voltare" ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # One line, and no failure: there is simply no screen to show a window on.
    echo "KOVA Voltare needs a graphical display and none is set here (DISPLAY, WAYLAND_DISPLAY); on a virtual one: xvfb-run -a $build/src/gui/voltare [FILE]"
    exit 0
  fi
  exec "$build/src/gui/voltare" "${@:2}"
elif [ -x "$build/src/cli/voltare-cli" ]; then
  exec "$build/src/cli/voltare-cli" --help
else
  echo "KOVA Voltare: the desktop program and voltare-cli are not built yet."
  echo "Built so far:"
  find "$build" -name 'libvoltare_*.a' -printf '  %f\n' | sort
  find "$build/tests" -maxdepth 2 -name '*_tests' -type f -printf '  %f\n' 2>/dev/null | sort
fi

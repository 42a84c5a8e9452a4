#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop program under a real Wayland compositor: weston, in a runtime
# directory of its own. The window tests run on it with Qt's Wayland platform
# (no fallback to X11 or offscreen): the main window, its menus and shortcuts,
# the password prompt typed into, each start verb to its result message, a
# drop, and a clean exit.
#
# Weston runs on its X11 back end inside a private virtual X display. Unlike
# the headless back end, that gives the compositor a seat with a keyboard, so
# it activates the window as it does on a user's desktop, and keyboard
# shortcuts reach the window. (Without a seat no window is ever active, and no
# Wayland client may activate itself.) Installs weston and Xvfb when missing
# (root or sudo): never part of `make test` or CI.
set -euo pipefail

build_dir=$(realpath "${1:-build}")
tests="$build_dir/tests/gui/gui_tests"
[ -x "$tests" ] || { echo "wayland-check: no $tests (run make build)" >&2; exit 1; }

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
if ! command -v weston >/dev/null || ! command -v xvfb-run >/dev/null; then
  echo "=== Installing weston"
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends \
    weston qt6-wayland xvfb xauth
fi

runtime=$(mktemp -d)
chmod 700 "$runtime"
trap 'rm -rf "$runtime"' EXIT

# Runs inside the virtual X display: starts weston on it, runs the tests as a
# Wayland client with no X display to fall back to, and stops weston.
cat >"$runtime/session.sh" <<'SESSION'
#!/usr/bin/env bash
set -uo pipefail
runtime=$1 tests=$2 socket=voltare-check
XDG_RUNTIME_DIR=$runtime weston --backend=x11-backend.so --socket="$socket" --idle-time=0 \
  --log="$runtime/weston.log" &
weston_pid=$!
for _ in $(seq 100); do
  [ -S "$runtime/$socket" ] && break
  sleep 0.1
done
if [ ! -S "$runtime/$socket" ]; then
  echo "wayland-check: weston did not start" >&2
  cat "$runtime/weston.log" >&2
  exit 1
fi
echo "=== weston $(weston --version 2>&1 | awk '{print $2}') with a keyboard seat"
echo "=== The window tests with QT_QPA_PLATFORM=wayland"
# Qt 6.4's Wayland text-input support is left out: no input method runs here.
env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland \
  QT_IM_MODULE=none "$tests" --gtest_filter='MainWindowTest.*:Verbs/StartVerbTest.*:PasswordPromptView.*' 2>&1 |
  grep -v 'does not support propagateSizeHints'
status=${PIPESTATUS[0]}
kill "$weston_pid" 2>/dev/null
wait "$weston_pid" 2>/dev/null
echo "=== weston's log, last lines"
tail -n 4 "$runtime/weston.log"
exit "$status"
SESSION
chmod +x "$runtime/session.sh"

set +e
xvfb-run -a -s "-screen 0 1280x1024x24" "$runtime/session.sh" "$runtime" "$tests" 2>&1 |
  grep -v -e '^XIO: ' -e 'after [0-9]* requests' | tee "$runtime/tests.log"
status=${PIPESTATUS[0]}
set -e
if [ "$status" -ne 0 ]; then
  echo "=== wayland-check: FAILED (exit status $status)"
  exit 1
fi
if grep -q '^\[  SKIPPED \]' "$runtime/tests.log"; then
  echo "=== wayland-check: FAILED (a test was skipped: the compositor never activated the window)"
  exit 1
fi
echo "=== wayland-check: the tests passed on Wayland and the program exited cleanly"

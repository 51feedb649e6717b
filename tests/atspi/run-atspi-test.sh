#!/usr/bin/env bash
# The panel as a screen reader sees it: a private session bus, the
# accessibility bus on it, a virtual X display, the device simulator on a
# pseudo-terminal and the real program, read through AT-SPI by check_panel.py.
#   run-atspi-test.sh PWM_PANEL PWM_DEVICE_SIM
#   PWM_ATSPI_PRINT_ONLY=1   prints the tree of that build and checks nothing
# Exits 77 (skipped) only when pyatspi is missing or the accessibility bus does not start.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
panel=$(realpath "${1:?usage: $0 PWM_PANEL PWM_DEVICE_SIM}")
sim=$(realpath "${2:?usage: $0 PWM_PANEL PWM_DEVICE_SIM}")
# pyatspi comes with the system's Python, whatever python3 is first on PATH.
python=${PWM_ATSPI_PYTHON:-/usr/bin/python3}

if [ "${PWM_ATSPI_INSIDE:-0}" != 1 ]; then
  if ! "$python" -c 'import pyatspi' 2>/dev/null; then
    echo "SKIP: pyatspi is missing (Debian package python3-pyatspi; scripts/setup installs it)" >&2
    exit 77
  fi
  if [ ! -x /usr/libexec/at-spi-bus-launcher ]; then
    echo "SKIP: no /usr/libexec/at-spi-bus-launcher (Debian package at-spi2-core)" >&2
    exit 77
  fi
  for tool in Xvfb dbus-run-session gdbus; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup installs it)" >&2; exit 1; }
  done
  # Never the desktop's buses or display: a session bus and an X server of our own.
  unset AT_SPI_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY
  export PWM_ATSPI_INSIDE=1
  exec dbus-run-session -- "$0" "$panel" "$sim"
fi

# A sanitized build: Qt's X start-up hands libxkbcommon a string that ASan's
# strict strndup check reads past; the fault, if any, is not ours to see here.
[ -n "${ASAN_OPTIONS:-}" ] && export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"

work=$(mktemp -d)
launcher=""
xserver=""
cleanup() {
  for pid in $launcher $xserver; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

# The server picks a free display itself and says which: no race with others
# starting one at the same time.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xserver=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xserver" 2>/dev/null || break
  sleep 0.05
done
[ -s "$work/display" ] || { echo "FAIL: Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/a11y.log" 2>&1 &
launcher=$!
address=""
# Asked only once it owns its name: asking earlier would start a second one.
for _ in $(seq 50); do
  if gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
       --method org.freedesktop.DBus.NameHasOwner org.a11y.Bus 2>/dev/null | grep -q true; then
    address=$(gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
                --method org.a11y.Bus.GetAddress 2>/dev/null | sed -n "s/^('\(.*\)',)$/\1/p") || true
    break
  fi
  kill -0 "$launcher" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$address" ]; then
  echo "SKIP: the accessibility bus did not start:" >&2
  cat "$work/a11y.log" >&2
  exit 77
fi
# Qt and pyatspi both find the accessibility bus by asking org.a11y.Bus on
# this session bus, as on a desktop; AT_SPI_BUS_ADDRESS stays unset.

# The panel finds its settings and its com<N> link beside the name it was
# started as. Port 200 maps to no device until the simulator links it, so
# no real serial port is ever opened and the search runs until then.
ln -s "$panel" "$work/pwm-panel"
printf '200,"9600","-",0,"DUTY01"\r\n"PWM(%%):","Label2","nc","nc"\r\n' >"$work/pwm-panel.ini"

export QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb

"$python" "$here/check_panel.py" --panel "$work/pwm-panel" --sim "$sim" --work "$work"

#!/bin/sh
# Runs a test binary as an ordinary user (nobody): checks of permissions mean
# nothing to root, and CI runs as root. Skipped (77) when not root, since the
# normal run covers it then, or when nobody cannot reach the binary.
[ "$(id -u)" -eq 0 ] || exit 77
command -v setpriv >/dev/null || exit 77
as_nobody="setpriv --reuid=65534 --regid=65534 --clear-groups"
$as_nobody test -x "$1" || exit 77
exec $as_nobody env HOME=/tmp TMPDIR=/tmp XDG_RUNTIME_DIR= XDG_CONFIG_HOME= "$@"

#!/bin/sh
# Installs the build into a scratch DESTDIR and checks the result: the files a
# desktop needs and the manual page and Debian doc files are there, nothing but
# the program lands in bin/, the names the files refer to each other by agree,
# and the validators (and man) accept them.
# Usage: check-install.sh BUILD_DIR APP_ID [VERSION]
set -u
build=$1
id=$2
version=${3:-}
src=$(cd "$(dirname "$0")/.." && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail=0
bad() { echo "FAIL: $*"; fail=1; }

DESTDIR="$root" cmake --install "$build" --prefix /usr >"$root.log" 2>&1 || {
  cat "$root.log"; rm -f "$root.log"; echo "FAIL: cmake --install"; exit 1; }
rm -f "$root.log"
usr=$root/usr
share=$usr/share
desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
manpage=$share/man/man1/pwm-panel.1.gz
doc=$share/doc/pwm-panel

for f in "$usr/bin/pwm-panel" "$desktop" "$metainfo" \
         "$share/icons/hicolor/scalable/apps/$id.svg" \
         "$share/icons/hicolor/48x48/apps/$id.png" \
         "$share/icons/hicolor/128x128/apps/$id.png" \
         "$share/dbus-1/interfaces/${id}1.xml" "$usr/lib/systemd/user/pwm-panel@.service" \
         "$manpage" "$doc/copyright" "$doc/changelog.gz"; do
  [ -f "$f" ] || bad "missing ${f#"$root"}"
done
[ -x "$usr/bin/pwm-panel" ] || bad "/usr/bin/pwm-panel is not executable"

# The simulator, tests and benchmarks must stay out of an install.
extra=$(ls -A "$usr/bin" 2>/dev/null | grep -vx pwm-panel)
[ -z "$extra" ] || bad "unexpected in /usr/bin: $extra"
extra=$(cd "$usr" && ls -A | grep -vxE 'bin|lib|share')
[ -z "$extra" ] || bad "unexpected in /usr: $extra"

# A PNG's header holds its width and height; a wrong-size render in an NxN
# folder gets scaled or ignored by the icon theme.
for size in 48 128; do
  png=$share/icons/hicolor/${size}x${size}/apps/$id.png
  [ -f "$png" ] || continue
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$dims" = "${size}x${size}" ] || bad "$id.png in ${size}x${size} is $dims"
done

# The launcher, the icon and the AppStream data find each other by name.
if [ -f "$desktop" ]; then
  grep -qx "Icon=$id" "$desktop" || bad "desktop file does not name icon $id"
  exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  [ -f "$usr/bin/$exec" ] || bad "desktop file runs '$exec', not installed in /usr/bin"
fi
if [ -f "$metainfo" ]; then
  grep -q "<id>$id</id>" "$metainfo" || bad "metainfo id is not $id"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    bad "metainfo does not launch $id.desktop"
  grep -q "<binary>pwm-panel</binary>" "$metainfo" || bad "metainfo does not provide binary pwm-panel"
fi

# Debian wants these compressed without a name or time stamp (flag bit 3 and
# bytes 4-7 of the header), so that rebuilds give the same package.
for gz in "$manpage" "$doc/changelog.gz"; do
  [ -f "$gz" ] || continue
  hdr=$(od -An -tu1 -N8 "$gz" | awk '{print $1, $2, int($4/8)%2, $5+$6+$7+$8}')
  [ "$hdr" = "31 139 0 0" ] || bad "${gz#"$root"} is not gzip -n output"
done
if [ -f "$doc/changelog.gz" ] && [ -n "$version" ]; then
  first=$(gzip -dc "$doc/changelog.gz" | head -n 1)
  case $first in
    "pwm-panel ($version) "*) ;;
    *) bad "changelog starts '$first', not version $version" ;;
  esac
fi
if [ -f "$manpage" ] && [ -n "$version" ]; then
  gzip -dc "$manpage" | grep -q "^\.TH .* \"pwm\\\\-panel $version\" " ||
    bad "manual page header does not name version $version"
fi
# The copyright file repeats the licence text of LICENSE.
if [ -f "$doc/copyright" ] && [ -f "$src/LICENSE" ]; then
  sed -n '/^Permission is hereby/,$p' "$src/LICENSE" >"$root/license.want"
  sed -n '/^ Permission is hereby/,$p' "$doc/copyright" | sed 's/^ //; s/^\.$//' >"$root/license.got"
  cmp -s "$root/license.want" "$root/license.got" || bad "copyright and LICENSE disagree on the licence text"
  rm -f "$root/license.want" "$root/license.got"
fi

skipped=""
if command -v desktop-file-validate >/dev/null 2>&1; then
  [ -f "$desktop" ] && { out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] ||
    bad "desktop-file-validate: $out"; }
else
  skipped="$skipped desktop-file-validate"
fi
if command -v appstreamcli >/dev/null 2>&1; then
  if [ -f "$metainfo" ]; then
    # Errors and warnings fail; infos and pedantic notes do not.
    if ! out=$(appstreamcli validate --no-net --no-color "$metainfo" 2>&1) ||
       echo "$out" | grep -qE '^[EW]:'; then
      bad "appstreamcli validate: $out"
    fi
  fi
else
  skipped="$skipped appstreamcli"
fi

if command -v man >/dev/null 2>&1; then
  if [ -f "$manpage" ]; then
    # Any message from man or groff fails. man-db's sandbox is switched off:
    # some containers refuse it, and it has nothing to do with the page.
    if ! out=$(LC_ALL=C.UTF-8 MANWIDTH=80 MAN_DISABLE_SECCOMP=1 \
               man --warnings -E UTF-8 -l "$manpage" 2>&1 >/dev/null) || [ -n "$out" ]; then
      bad "man --warnings: $out"
    fi
  fi
else
  skipped="$skipped man"
fi

[ $fail -eq 0 ] || exit 1
if [ -n "$skipped" ]; then
  echo "installed files are fine; not validated, tools missing:$skipped"
  exit 77
fi
echo "install check passed"

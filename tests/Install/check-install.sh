#!/usr/bin/env bash
# Installs the build into a scratch root (DESTDIR) and checks what the desktop needs to start the program:
# the executable, the resource folder where the executable looks for it, a valid .desktop entry whose
# Exec and Icon resolve, and the icon itself.
set -euo pipefail
build=$1 prefix=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root cmake --install "$build" >/dev/null
top=$root$prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

[[ -x $top/bin/brimel ]] || fail "no executable at bin/brimel"
bundle=$top/share/brimel/ZiduduZovu_ZiduduZovu.bundle
for f in AppIcon.png javascript.scm swift.scm go.scm; do [[ -f $bundle/$f ]] || fail "bundle lacks $f"; done
# The program finds an installed bundle through the path compiled into it (a UTF-16 string literal).
# No grep -q: it would stop reading early and fail the pipe under pipefail.
strings -a -el "$top/bin/brimel" | grep -xF "$prefix/share/brimel/ZiduduZovu_ZiduduZovu.bundle" >/dev/null \
  || fail "the executable does not look for its bundle under $prefix/share/brimel"

desktop=$top/share/applications/brimel.desktop
[[ -f $desktop ]] || fail "no desktop entry"
if command -v desktop-file-validate >/dev/null; then
  # Hints are advice on menu placement; errors and warnings are faults.
  out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
  ! grep -qE ': (error|warning): ' <<<"$out" || fail "desktop-file-validate: $out"
else
  echo "desktop-file-validate not installed: entry checked by hand only"
fi
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[[ -x $top/bin/$exec_name ]] || fail "Exec=$exec_name is not the installed program"
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
icon=$top/share/icons/hicolor/512x512/apps/$icon_name.png
[[ -f $icon ]] || fail "Icon=$icon_name has no file in the hicolor theme"
[[ $(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] || fail "icon is not a PNG"
echo "install tree ok"

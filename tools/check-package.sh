#!/usr/bin/env bash
# Checks a built Debian package: what it installs, and the dependencies it declares. Lists its contents.
#   tools/check-package.sh quvexa_<version>_<arch>.deb
set -euo pipefail
deb="${1:?usage: tools/check-package.sh <package.deb>}"
contents="$(dpkg-deb -c "$deb")"
fail=0
expect() {
  if ! grep -qE -- "$1" <<<"$contents"; then
    echo "check-package: $deb has no $2" >&2
    fail=1
  fi
}
expect ' \./usr/bin/quvexa$' "program in /usr/bin"
for profile in VELMO_LIT VELMO_ENG VELMO_DEBUG VELMO_DIA VELMO_EEP VELMO_EVT; do
  expect "^l.* \./usr/bin/$profile -> quvexa$" "profile link $profile -> quvexa"
done
expect ' \./usr/share/applications/quvexa\.desktop$' "desktop entry"
expect ' \./usr/share/icons/hicolor/64x64/apps/quvexa\.png$' "icon"
expect ' \./usr/lib/udev/rules\.d/70-quvexa-ft232h\.rules$' "udev rule"
depends="$(dpkg-deb -f "$deb" Depends)"
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libftdi1-2 libusb-1.0-0; do
  if ! grep -q "$package" <<<"$depends"; then
    echo "check-package: $deb does not declare $package" >&2
    fail=1
  fi
done
[ "$fail" -eq 0 ] || exit 1
echo "$contents"
echo "Depends: $depends"

#!/usr/bin/env bash
# Checks a built Debian package: what it installs, and the dependencies it declares. Lists its contents.
# With --lint, Debian's own checks too: lintian and desktop-file-validate, where any error or warning fails.
#   tools/check-package.sh [--lint] quvexa_<version>_<arch>.deb
set -euo pipefail
lint=0
if [ "${1:-}" = "--lint" ]; then lint=1; shift; fi
deb="${1:?usage: tools/check-package.sh [--lint] <package.deb>}"
contents="$(dpkg-deb -c "$deb")"
fail=0
expect() {
  if ! grep -qE -- "$1" <<<"$contents"; then
    echo "check-package: $deb has no $2" >&2
    fail=1
  fi
}
expect ' \./usr/bin/quvexa$' "program in /usr/bin"
expect ' \./usr/share/man/man1/quvexa\.1\.gz$' "manual page quvexa(1)"
for profile in VELMO_LIT VELMO_ENG VELMO_DEBUG VELMO_DIA VELMO_EEP VELMO_EVT; do
  expect "^l.* \./usr/bin/$profile -> quvexa$" "profile link $profile -> quvexa"
  expect "^l.* \./usr/share/man/man1/$profile\.1\.gz -> quvexa\.1\.gz$" "manual page link $profile.1.gz -> quvexa.1.gz"
done
expect ' \./usr/share/applications/quvexa\.desktop$' "desktop entry"
for size in 16 22 24 32 48 64 128 256; do
  expect " \./usr/share/icons/hicolor/${size}x${size}/apps/quvexa\.png$" "icon of $size x $size"
done
expect ' \./usr/share/icons/hicolor/scalable/apps/quvexa\.svg$' "scalable icon"
expect ' \./usr/lib/udev/rules\.d/70-quvexa-ft232h\.rules$' "udev rule"
expect ' \./usr/share/doc/quvexa/copyright$' "copyright file"
expect ' \./usr/share/doc/quvexa/changelog\.Debian\.gz$' "changelog"
depends="$(dpkg-deb -f "$deb" Depends)"
for package in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libftdi1-2 libusb-1.0-0; do
  if ! grep -q "$package" <<<"$depends"; then
    echo "check-package: $deb does not declare $package" >&2
    fail=1
  fi
done

# The changelog's latest entry is this package's version, so a new version cannot ship the old entry.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/tree"
version="$(dpkg-deb -f "$deb" Version)"
changelog="$work/tree/usr/share/doc/quvexa/changelog.Debian.gz"
if [ -f "$changelog" ]; then
  latest="$(zcat "$changelog" | sed -n '1s/^quvexa (\([^)]*\)).*/\1/p')"
  if [ "$latest" != "$version" ]; then
    echo "check-package: the changelog's latest entry is ${latest:-not for quvexa}, the package is $version" >&2
    fail=1
  fi
fi

if [ "$lint" -eq 1 ]; then
  # Information tags are shown and pass; an error or a warning fails.
  lintian --display-info --fail-on error,warning "$deb" || fail=1
  # desktop-file-validate says nothing of an entry without fault; a hint is a fault here too.
  said="$(desktop-file-validate "$work/tree/usr/share/applications/quvexa.desktop" 2>&1)" || fail=1
  if [ -n "$said" ]; then
    echo "$said" >&2
    fail=1
  fi
fi
[ "$fail" -eq 0 ] || exit 1
echo "$contents"
echo "Depends: $depends"

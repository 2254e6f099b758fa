#!/usr/bin/env bash
# Installs everything the program, its tests, its benchmarks and its packaging need on Debian 12
# (dpkg-dev and file: cpack's library dependencies; desktop-file-utils, appstream, lintian and man-db: the
# install test; clang-14, libclang-rt-14-dev and llvm-14: the sanitizer build, the fuzz targets and
# readable reports; qt6-networkauth-dev and qtkeychain-qt6-dev: the OAuth 2.0 sign-in, libsecret-1-0 the
# Secret Service client QtKeychain loads at run time; dbus, gnome-keyring and libsecret-tools: the private
# session bus and Secret Service the sign-in tests start for themselves).
# Idempotent: packages already installed are skipped, so a second run changes nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-translations-l10n libqscintilla2-qt6-dev
  libgmime-3.0-dev
  qt6-networkauth-dev qtkeychain-qt6-dev libsecret-1-0
  python3 python3-aiosmtpd openssl ca-certificates
  dbus gnome-keyring libsecret-tools
  xvfb xauth x11-utils fonts-liberation
  postfix
  desktop-file-utils appstream lintian man-db dpkg-dev file
  clang-14 libclang-rt-14-dev llvm-14
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
# Postfix is only wanted for its smtp-sink benchmark tool: no mail daemon is configured.
echo "postfix postfix/main_mailer_type select No configuration" | $sudo debconf-set-selections
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

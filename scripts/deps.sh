#!/usr/bin/env bash
# Installs the Debian packages the build needs that are not installed yet, as root or
# through sudo. Extra package names may be given as arguments. The window needs Qt 6
# (with its offscreen and X11 platform plugins and Japanese toolkit texts) and a
# Japanese font.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n fonts-noto-cjk "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  as_root=()
  [ "$(id -u)" -ne 0 ] && as_root=(sudo)
  echo "installing: ${missing[*]}"
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

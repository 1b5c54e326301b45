#!/usr/bin/env bash
# Installs the Debian packages Morvela needs to build, run and test; only what
# is missing, and any further packages named as arguments. Run as root (it
# uses apt-get).
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl1-mesa-dev qt6-translations-l10n
  libfluidsynth-dev timgm6mb-soundfont
  libsndfile1-dev libpulse-dev libasound2-dev pulseaudio
  googletest libgtest-dev libgmock-dev
  fonts-arphic-ukai fonts-wqy-microhei
  xvfb xauth xdotool libx11-dev
  clang libclang-rt-14-dev
  ccache
  "$@"
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Packages only the sound benchmarks need: a private PulseAudio server with a
# null sink, FluidSynth's own player for comparison, a display for XTest,
# and `stress` to load the machine. Not needed to build or test.
set -euo pipefail

PACKAGES=(pulseaudio pulseaudio-utils fluidsynth stress xvfb xdotool)

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

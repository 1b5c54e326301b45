#!/usr/bin/env bash
# Packages only the sound benchmarks need, beside those of the build: a
# private PulseAudio server with a null sink, FluidSynth's own player for
# comparison, a display for XTest, `stress` to load the machine, and rtkit
# (real-time priority for a user the system refuses it; it asks polkit).
exec "$(dirname "$0")/install-deps.sh" pulseaudio pulseaudio-utils fluidsynth stress xvfb xdotool rtkit polkitd

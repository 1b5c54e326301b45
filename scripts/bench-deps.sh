#!/usr/bin/env bash
# Packages only the sound benchmarks need, beside those of the build: a
# private PulseAudio server with a null sink, FluidSynth's own player for
# comparison, a display for XTest, and `stress` to load the machine.
exec "$(dirname "$0")/install-deps.sh" pulseaudio pulseaudio-utils fluidsynth stress xvfb xdotool

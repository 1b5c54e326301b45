// ALSA sequencer output ports as MIDI output devices (external synthesizers,
// other programs' input ports). Each device opens its own sequencer client
// port connected to the destination when first opened.
#pragma once

#include "platform/midiout.h"

#include <memory>
#include <vector>

namespace plat {

// The writable, subscribable ports of other sequencer clients, in client and
// port order. Empty (quietly) when the machine has no sequencer.
std::vector<std::shared_ptr<MidiOutDevice>> alsaSequencerDevices();

// Sends alsa-lib's own error printing nowhere (once per process).
void silenceAlsaErrors();

}  // namespace plat

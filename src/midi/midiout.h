// The MIDI output module: the one open output device of the program, the
// device list, and the message operations every window plays through.
#pragma once

#include <cstdint>

namespace ui { class ComboBox; }

namespace midi {

using i16 = int16_t;

// Clears the box and lists the MIDI mapper (item data -1), then devices 0..n-1
// whose capabilities can be read. True when anything was added.
bool FillMidiDeviceList(ui::ComboBox& box);
// Closes any open device, then opens the given one (-1 = MIDI mapper).
bool OpenMidiOut(i16 deviceId);
void CloseMidiOut();

// status + data1 x 256 (16-bit product) + data2 x 65536, on the open device.
void SendShortMessage(i16 status, i16 data1, i16 data2);
// Pan controller of the channel (by pitch on channel 1), then the note on.
void NoteOn(i16 channel, i16 note, i16 velocity);
void NoteOff(i16 channel, i16 note);
void ControlChange(i16 channel, i16 controller, i16 value);
// Bank select (controller 0), then the program change.
void ProgramChange(i16 channel, i16 bank, i16 program);
// Message box with the device layer's text for the code. While one is open,
// further failures are not shown again.
void ShowMidiError(uint32_t errorCode);

// Packs a short message as the module sends it (overflow error when
// data1 x 256 leaves the 16-bit range).
uint32_t PackShortMessage(i16 status, i16 data1, i16 data2);
// Pan that NoteOn sends on channel 1 for a note.
i16 PitchPan(i16 note);

}  // namespace midi

// The MIDI output module: the device list, opening and closing the device, and the short messages.
#include "midi/midiout.h"

#include "midi/state.h"
#include "platform/dialogs.h"
#include "platform/midiout.h"
#include "platform/textcodec.h"
#include "ui/controls.h"

#include <climits>
#include <cstring>

namespace midi {

bool FillMidiDeviceList(ui::ComboBox& box) {
    box.clear();
    bool added = false;
    plat::MidiOutCaps caps{};
    if (plat::midiOutGetDevCapsA(-1, &caps, sizeof caps) == plat::kMidiOk) {
        box.addItem(plat::fromGbk(QByteArray(caps.productName, static_cast<int>(strnlen(caps.productName, 32)))));
        box.setItemData(box.listCount() - 1, -1);
        added = true;
    }
    uint32_t n = plat::midiOutGetNumDevs();
    for (uint32_t id = 0; id < n; ++id) {
        std::memset(&caps, 0, sizeof caps);
        if (plat::midiOutGetDevCapsA(static_cast<intptr_t>(id), &caps, sizeof caps) != plat::kMidiOk) continue;
        box.addItem(plat::fromGbk(QByteArray(caps.productName, static_cast<int>(strnlen(caps.productName, 32)))));
        box.setItemData(box.listCount() - 1, static_cast<int>(id));
        added = true;
    }
    return added;
}

bool OpenMidiOut(i16 deviceId) {
    CloseMidiOut();
    plat::MidiOutHandleValue h = 0;
    // The identifier is sign-extended: -1 reaches the device layer as the mapper.
    uint32_t r = plat::midiOutOpen(&h, static_cast<uint32_t>(static_cast<int32_t>(deviceId)), 0, 0, 0);
    G.MidiOutHandle = h;
    if (r != plat::kMidiOk) ShowMidiError(r);
    return G.MidiOutHandle != 0;
}

void CloseMidiOut() {
    if (G.MidiOutHandle == 0) return;
    uint32_t r = plat::midiOutClose(G.MidiOutHandle);
    // The error is shown while the handle is still ours; the handle is given
    // up afterwards whatever the result (and whatever the box does).
    struct Forget {
        ~Forget() { G.MidiOutHandle = 0; }
    } forget;
    if (r != plat::kMidiOk) ShowMidiError(r);
}

uint32_t PackShortMessage(i16 status, i16 data1, i16 data2) {
    int64_t hi = static_cast<int64_t>(data2) * 65536;
    int64_t mid = rt::mul16(data1, 256);  // 16-bit product: overflow outside -128..127
    // A signed 32-bit sum: only a negative data2 with a negative data1 or
    // status can leave its range, and that is an overflow as well.
    int64_t v = hi + mid + static_cast<int64_t>(status);
    if (v < INT32_MIN || v > INT32_MAX) rt::raise(rt::kErrOverflow);
    return static_cast<uint32_t>(static_cast<int32_t>(v));
}

void SendShortMessage(i16 status, i16 data1, i16 data2) {
    uint32_t value = PackShortMessage(status, data1, data2);
    uint32_t r = plat::midiOutShortMsg(G.MidiOutHandle, value);
    if (r != plat::kMidiOk) ShowMidiError(r);
}

i16 PitchPan(i16 note) {
    int pan = (static_cast<int>(note) - G.BaseNote) * 3 - 8;
    if (pan < 20) pan = 20;
    if (pan > 107) pan = 107;
    return static_cast<i16>(pan);
}

void NoteOn(i16 channel, i16 note, i16 velocity) {
    i16 pan = PitchPan(note);
    if (channel == 1) {
        SendShortMessage(0xB1, 10, pan);
    } else {
        SendShortMessage(rt::add16(0xB0, channel), 10, G.ChannelPan(channel));
    }
    SendShortMessage(rt::add16(0x90, channel), note, velocity);
}

void NoteOff(i16 channel, i16 note) { SendShortMessage(rt::add16(0x80, channel), note, 0); }

void ControlChange(i16 channel, i16 controller, i16 value) {
    SendShortMessage(rt::add16(0xB0, channel), controller, value);
}

void ProgramChange(i16 channel, i16 bank, i16 program) {
    ControlChange(channel, 0, bank);
    SendShortMessage(rt::add16(0xC0, channel), program, 0);
}

void ShowMidiError(uint32_t errorCode) {
    static bool showing = false;
    if (showing) return;  // one error box at a time
    char buffer[129];
    std::memset(buffer, ' ', 128);
    buffer[128] = 0;
    plat::midiOutGetErrorTextA(errorCode, buffer, 128);
    QString text = plat::fromGbk(QByteArray(buffer, static_cast<int>(strnlen(buffer, 128))));
    showing = true;
    try {
        plat::msgBox(text, plat::kOkOnly);
    } catch (...) {
        showing = false;
        throw;
    }
    showing = false;
}

}  // namespace midi

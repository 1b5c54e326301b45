// MIDI output stand-in: a small device layer with the calls the MIDI module
// makes (count devices, read a device's capabilities, open, close, send a
// short message, turn an error code into text).
//
// Device -1 is the "MIDI mapper"; it and device 0 are the embedded
// synthesizer. ALSA sequencer output ports follow as devices 1..n when the
// machine has a sequencer. Tests replace the whole table with capture devices.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

// Result codes of the MIDI calls (0 = success). The numbers are ours.
enum MidiResult : uint32_t {
    kMidiOk = 0,
    kMidiErrUnspecified = 1,
    kMidiErrBadDeviceId = 2,
    kMidiErrNotEnabled = 3,
    kMidiErrAllocated = 4,
    kMidiErrInvalidHandle = 5,
    kMidiErrNoDriver = 6,
    kMidiErrNoMemory = 7,
    kMidiErrInvalidParam = 11,
    kMidiErrNotReady = 67,
    kMidiErrNoDevice = 68,
};

// Output capabilities record: 52 bytes, the product name in a 32-byte field
// terminated by a zero byte (GBK text, as the rest of the program's ANSI
// strings).
#pragma pack(push, 1)
struct MidiOutCaps {
    uint16_t manufacturerId;
    uint16_t productId;
    uint32_t driverVersion;
    char productName[32];
    uint16_t technology;
    uint16_t voices;
    uint16_t notes;
    uint16_t channelMask;
    uint32_t support;
};
#pragma pack(pop)
static_assert(sizeof(MidiOutCaps) == 52, "capabilities record is 52 bytes");

using MidiOutHandleValue = uintptr_t;  // 0 = no device

// Kind of device reported in MidiOutCaps::technology.
enum MidiTechnology : uint16_t {
    kMidiTechPort = 1,           // hardware or software port (ALSA sequencer)
    kMidiTechMapper = 5,         // the mapper entry
    kMidiTechSoftwareSynth = 7,  // the embedded synthesizer
};

// One output device of the table.
//
// Each successful midiOutOpen on a device calls its open(), each successful
// midiOutClose its close(): a device may be open through several handles at
// once, each handle independent.
class MidiOutDevice {
public:
    virtual ~MidiOutDevice() = default;
    virtual std::string name() const = 0;         // UTF-8 product name
    virtual uint32_t open() = 0;                  // kMidiOk or an error
    virtual uint32_t close() = 0;                 // silences what it sounds
    virtual uint32_t send(uint32_t message) = 0;  // one short message
    virtual uint16_t technology() const { return kMidiTechPort; }
    // A device that wants raw messages gets every value given to
    // midiOutShortMsg through send(), also the malformed ones that are
    // otherwise dropped before reaching a device (test aids use this to see
    // exactly what the program sent). For a malformed message the result of
    // send() is ignored and midiOutShortMsg returns kMidiOk as usual.
    virtual bool wantsRawMessages() const { return false; }
};

// True when the message may be put on a device. Bits 24..31 are ignored.
//  - Channel messages 0x80..0xEF: every data byte the status uses is below
//    0x80 (two for note off/on, key pressure, controller and pitch bend; one
//    for program change and channel pressure).
//  - System messages: only the real-time ones 0xF8..0xFE. System exclusive
//    and the common messages 0xF0..0xF7 are not short messages we send, and
//    0xFF (System Reset) is refused because a stray 0xFF byte is almost
//    always a negative number gone wrong, never a reset the program means.
//  - A status byte below 0x80 (e.g. 0x00000000) is refused.
// midiOutShortMsg drops a message that is not well-formed and returns kMidiOk.
bool isWellFormedShortMessage(uint32_t message);

// The device table. `mapper` answers for id -1; `devices` are ids 0..n-1.
// The default table (built on first use) has the embedded synthesizer as
// mapper (named as the mapper) and as device 0, then the ALSA sequencer ports.
void setMidiDeviceTable(std::shared_ptr<MidiOutDevice> mapper,
                        std::vector<std::shared_ptr<MidiOutDevice>> devices);
void resetMidiDeviceTable();  // back to the default table (closes open handles)

uint32_t midiOutGetNumDevs();
uint32_t midiOutGetDevCapsA(intptr_t deviceId, MidiOutCaps* caps, uint32_t capsSize);
uint32_t midiOutOpen(MidiOutHandleValue* handle, uint32_t deviceId, uintptr_t callback,
                     uintptr_t instance, uint32_t flags);
// Closes the handle (the device's close()). When the device's close fails
// the error is returned and the handle stays open.
uint32_t midiOutClose(MidiOutHandleValue handle);
// Puts one short message on the handle's device. Every call is first written
// to the MIDI log (below) when one is set. A malformed message (see
// isWellFormedShortMessage) is dropped and the call returns kMidiOk.
uint32_t midiOutShortMsg(MidiOutHandleValue handle, uint32_t message);
// Writes the Chinese text of `error` (GBK, zero-terminated, cut to fit
// without splitting a character). kMidiErrInvalidParam when text is null or
// textSize is 0.
uint32_t midiOutGetErrorTextA(uint32_t error, char* text, uint32_t textSize);

// MIDI log: every value given to midiOutShortMsg (well-formed or not, on any
// handle, also invalid ones) is appended to the file as one line
// "<microseconds since program start> <8 upper-case hex digits>", flushed per
// line; the time is when the message is due (see MidiDueTime). The environment variable MORVELA_MIDI_LOG names the file (read once,
// at the first call); setMidiLogPath replaces that choice ("" = no log).
void setMidiLogPath(const std::string& path);
// Microseconds since program start on the clock of the MIDI log.
uint64_t midiLogMicros();

// When the messages sent now are due. A clock that keeps musical time runs
// its tick kClockLookAheadNs before the tick's deadline and sets this to the
// deadline around it, so the embedded synthesizer sounds them at that moment
// to the frame, however late the tick ran (by less than the look-ahead). Outside such a scope messages
// are due at once (0). Per thread; scopes nest, and a scope of 0 (an event
// loop run inside a tick: keys pressed meanwhile) goes back to "at once".
constexpr int64_t kClockLookAheadNs = 20'000'000;
class MidiDueTime {
public:
    explicit MidiDueTime(int64_t steadyNs);  // steady clock nanoseconds; 0 = at once
    ~MidiDueTime();
    MidiDueTime(const MidiDueTime&) = delete;
    MidiDueTime& operator=(const MidiDueTime&) = delete;

private:
    int64_t previous_;
};
int64_t midiDueTime();  // the current due time (0 = at once)

// UTF-8 name of the embedded synthesizer device.
std::string synthDeviceName();
// UTF-8 name of the mapper entry of the default table.
std::string mapperDeviceName();

// Test aid: records every message given to it (raw, malformed ones
// included), and can be told to fail. open() and close() count calls and
// fail with failOpenWith / failCloseWith when those are set; send() records
// the message even when it then fails with failSendWith.
class CaptureMidiDevice : public MidiOutDevice {
public:
    explicit CaptureMidiDevice(std::string name = "Capture") : name_(std::move(name)) {}
    std::string name() const override { return name_; }
    uint32_t open() override;
    uint32_t close() override;
    uint32_t send(uint32_t message) override;
    bool wantsRawMessages() const override { return true; }
    // The recorded messages a real device would have received.
    std::vector<uint32_t> wellFormedMessages() const;

    std::vector<uint32_t> messages;  // every message given to midiOutShortMsg, raw
    std::vector<int64_t> dues;       // and when each was due (midiDueTime(); 0: at once)
    int opens = 0;
    int closes = 0;
    bool isOpen = false;
    uint32_t failOpenWith = kMidiOk;
    uint32_t failCloseWith = kMidiOk;
    uint32_t failSendWith = kMidiOk;

private:
    std::string name_;
};

}  // namespace plat

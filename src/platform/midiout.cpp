// The MIDI device layer: the built-in synthesizer and the ALSA sequencer ports as numbered devices,
// their capabilities and error texts, the MIDI log and the capture device.
#include "platform/midiout.h"

#include "platform/alsaseq.h"
#include "platform/audioengine.h"
#include "platform/textcodec.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace plat {
namespace {

// The clock of the MIDI log starts when the program's statics are set up.
const std::chrono::steady_clock::time_point kProgramStart = std::chrono::steady_clock::now();

constexpr uint32_t kMapperId = 0xFFFFFFFFu;

// The embedded synthesizer as a device: opening starts the audio engine,
// closing silences it (the soundfont stays loaded). Messages are handed to
// the render thread, due when midiDueTime() says; a send returns once the
// message is in the engine's queue (waiting for room while the render thread
// empties it). One the engine cannot take (no render thread taking) is
// reported as not ready.
class SynthDevice : public MidiOutDevice {
public:
    explicit SynthDevice(std::string name) : name_(std::move(name)) {}
    std::string name() const override { return name_; }
    uint16_t technology() const override { return kMidiTechSoftwareSynth; }
    uint32_t open() override {
        AudioEngine& engine = AudioEngine::instance();
        if (!engine.running() && !engine.start(AudioEngine::Output::Auto)) return kMidiErrNotEnabled;
        // Without a soundfont every note would fail; say so once, at open.
        if (engine.soundFontPath().empty()) return kMidiErrNotEnabled;
        return kMidiOk;
    }
    uint32_t close() override {
        AudioEngine::instance().allNotesOff();
        return kMidiOk;
    }
    uint32_t send(uint32_t message) override {
        return AudioEngine::instance().midiShortMessage(message, midiDueTime()) ? kMidiOk : kMidiErrNotReady;
    }

private:
    std::string name_;
};

struct DeviceTable {
    std::mutex opMutex;    // serialises open, close and table changes (held around device calls)
    std::mutex dataMutex;  // guards the fields below; never held around device calls
    bool built = false;
    std::shared_ptr<MidiOutDevice> mapper;
    std::vector<std::shared_ptr<MidiOutDevice>> devices;
    std::map<MidiOutHandleValue, std::shared_ptr<MidiOutDevice>> handles;
    MidiOutHandleValue nextHandle = 0x4D01;  // handles are never reused

    void buildDefaultLocked() {
        if (built) return;
        // The mapper leads to the synthesizer too, under a name of its own
        // so the device box tells the two entries apart.
        mapper = std::make_shared<SynthDevice>(mapperDeviceName());
        devices = {std::make_shared<SynthDevice>(synthDeviceName())};
        for (auto& d : alsaSequencerDevices()) devices.push_back(std::move(d));
        built = true;
    }

    // Device for an id (kMapperId = mapper); null when out of range.
    std::shared_ptr<MidiOutDevice> deviceLocked(uint32_t id) {
        buildDefaultLocked();
        if (id == kMapperId) return mapper;
        return id < devices.size() ? devices[id] : nullptr;
    }

    std::shared_ptr<MidiOutDevice> handleLocked(MidiOutHandleValue h) {
        auto it = handles.find(h);
        return it == handles.end() ? nullptr : it->second;
    }

    // Closes every open handle (opMutex held).
    void closeAllHandles() {
        std::map<MidiOutHandleValue, std::shared_ptr<MidiOutDevice>> open;
        {
            std::lock_guard<std::mutex> lock(dataMutex);
            open.swap(handles);
        }
        for (auto& [h, device] : open) device->close();
    }
};

DeviceTable& table() {
    static DeviceTable t;
    return t;
}

struct MidiLog {
    std::mutex mutex;
    bool configured = false;
    FILE* file = nullptr;

    void openLocked(const char* path) {
        if (file) std::fclose(file);
        file = (path && *path) ? std::fopen(path, "a") : nullptr;
        configured = true;
    }

    void write(uint64_t micros, uint32_t message) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!configured) openLocked(std::getenv("MORVELA_MIDI_LOG"));
        if (!file) return;
        std::fprintf(file, "%llu %08X\n", static_cast<unsigned long long>(micros), message);
        std::fflush(file);
    }
};

MidiLog& midiLog() {
    static MidiLog log;
    return log;
}

const char* errorTextUtf8(uint32_t error) {
    switch (error) {
    case kMidiOk: return "操作已成功完成。";
    case kMidiErrUnspecified: return "MIDI 设备出现了未说明原因的错误。";
    case kMidiErrBadDeviceId: return "设备编号超出了可用设备的范围。";
    case kMidiErrNotEnabled: return "无法启用该设备的驱动程序。";
    case kMidiErrAllocated: return "该设备正被占用，暂时无法使用。";
    case kMidiErrInvalidHandle: return "设备句柄无效，设备可能尚未打开或已经关闭。";
    case kMidiErrNoDriver: return "系统中没有该设备的驱动程序。";
    case kMidiErrNoMemory: return "内存不足，无法完成这项操作。";
    case kMidiErrInvalidParam: return "传给函数的参数无效。";
    case kMidiErrNotReady: return "MIDI 设备尚未就绪，请稍后再试。";
    case kMidiErrNoDevice: return "找不到 MIDI 输出设备，它可能已被移除。";
    default: return nullptr;
    }
}

}  // namespace

std::string synthDeviceName() { return "Morvela 软件合成器"; }
std::string mapperDeviceName() { return "MIDI 映射器"; }

namespace {
thread_local int64_t t_dueNs = 0;

uint64_t logMicrosOf(int64_t steadyNs) {
    const int64_t start = std::chrono::duration_cast<std::chrono::nanoseconds>(kProgramStart.time_since_epoch()).count();
    return steadyNs > start ? static_cast<uint64_t>((steadyNs - start) / 1000) : 0;
}
}  // namespace

MidiDueTime::MidiDueTime(int64_t steadyNs) : previous_(t_dueNs) { t_dueNs = steadyNs; }
MidiDueTime::~MidiDueTime() { t_dueNs = previous_; }
int64_t midiDueTime() { return t_dueNs; }

uint64_t midiLogMicros() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - kProgramStart)
                                     .count());
}

void setMidiLogPath(const std::string& path) {
    MidiLog& log = midiLog();
    std::lock_guard<std::mutex> lock(log.mutex);
    log.openLocked(path.c_str());
}

bool isWellFormedShortMessage(uint32_t message) {
    const uint32_t status = message & 0xFF;
    const uint32_t d1 = (message >> 8) & 0xFF;
    const uint32_t d2 = (message >> 16) & 0xFF;
    if (status < 0x80) return false;
    if (status >= 0xF0) return status >= 0xF8 && status <= 0xFE;
    const uint32_t kind = status & 0xF0;
    if (kind == 0xC0 || kind == 0xD0) return d1 < 0x80;
    return d1 < 0x80 && d2 < 0x80;
}

void setMidiDeviceTable(std::shared_ptr<MidiOutDevice> mapper,
                        std::vector<std::shared_ptr<MidiOutDevice>> devices) {
    DeviceTable& t = table();
    std::lock_guard<std::mutex> op(t.opMutex);
    t.closeAllHandles();
    std::lock_guard<std::mutex> lock(t.dataMutex);
    t.mapper = std::move(mapper);
    t.devices = std::move(devices);
    t.built = true;
}

void resetMidiDeviceTable() {
    DeviceTable& t = table();
    std::lock_guard<std::mutex> op(t.opMutex);
    t.closeAllHandles();
    std::lock_guard<std::mutex> lock(t.dataMutex);
    t.mapper.reset();
    t.devices.clear();
    t.built = false;
}

uint32_t midiOutGetNumDevs() {
    DeviceTable& t = table();
    std::lock_guard<std::mutex> lock(t.dataMutex);
    t.buildDefaultLocked();
    return static_cast<uint32_t>(t.devices.size());
}

uint32_t midiOutGetDevCapsA(intptr_t deviceId, MidiOutCaps* caps, uint32_t capsSize) {
    if (!caps || capsSize == 0) return kMidiErrInvalidParam;
    const bool isMapper = deviceId == -1 || deviceId == static_cast<intptr_t>(kMapperId);
    if (!isMapper && (deviceId < 0 || deviceId >= static_cast<intptr_t>(kMapperId))) return kMidiErrBadDeviceId;
    std::shared_ptr<MidiOutDevice> device;
    {
        DeviceTable& t = table();
        std::lock_guard<std::mutex> lock(t.dataMutex);
        device = t.deviceLocked(isMapper ? kMapperId : static_cast<uint32_t>(deviceId));
    }
    if (!device) return kMidiErrBadDeviceId;

    MidiOutCaps c{};
    c.manufacturerId = 0x7D;  // the MIDI id for non-commercial makers
    c.productId = isMapper ? 0xFFFF : static_cast<uint16_t>(deviceId + 1);
    c.driverVersion = 0x0100;
    std::string name = gbkTruncate(utf8ToGbk(device->name()), sizeof c.productName - 1);
    std::memcpy(c.productName, name.data(), name.size());
    c.technology = isMapper ? static_cast<uint16_t>(kMidiTechMapper) : device->technology();
    const bool synth = device->technology() == kMidiTechSoftwareSynth;
    c.voices = synth ? 256 : 0;
    c.notes = synth ? 256 : 0;
    c.channelMask = 0xFFFF;
    c.support = 0;
    std::memcpy(caps, &c, std::min<size_t>(capsSize, sizeof c));
    return kMidiOk;
}

uint32_t midiOutOpen(MidiOutHandleValue* handle, uint32_t deviceId, uintptr_t, uintptr_t, uint32_t) {
    if (!handle) return kMidiErrInvalidParam;
    *handle = 0;
    DeviceTable& t = table();
    std::lock_guard<std::mutex> op(t.opMutex);
    std::shared_ptr<MidiOutDevice> device;
    {
        std::lock_guard<std::mutex> lock(t.dataMutex);
        device = t.deviceLocked(deviceId);
    }
    if (!device) return kMidiErrBadDeviceId;
    uint32_t r = device->open();
    if (r != kMidiOk) return r;
    std::lock_guard<std::mutex> lock(t.dataMutex);
    MidiOutHandleValue h = t.nextHandle++;
    t.handles.emplace(h, std::move(device));
    *handle = h;
    return kMidiOk;
}

uint32_t midiOutClose(MidiOutHandleValue handle) {
    DeviceTable& t = table();
    std::lock_guard<std::mutex> op(t.opMutex);
    std::shared_ptr<MidiOutDevice> device;
    {
        std::lock_guard<std::mutex> lock(t.dataMutex);
        device = t.handleLocked(handle);
    }
    if (!device) return kMidiErrInvalidHandle;
    uint32_t r = device->close();
    if (r != kMidiOk) return r;  // the handle stays open
    std::lock_guard<std::mutex> lock(t.dataMutex);
    t.handles.erase(handle);
    return kMidiOk;
}

uint32_t midiOutShortMsg(MidiOutHandleValue handle, uint32_t message) {
    const int64_t due = midiDueTime();
    midiLog().write(due > 0 ? logMicrosOf(due) : midiLogMicros(), message);
    std::shared_ptr<MidiOutDevice> device;
    {
        DeviceTable& t = table();
        std::lock_guard<std::mutex> lock(t.dataMutex);
        device = t.handleLocked(handle);
    }
    if (!device) return kMidiErrInvalidHandle;
    const bool wellFormed = isWellFormedShortMessage(message);
    if (device->wantsRawMessages()) {
        uint32_t r = device->send(message);
        return wellFormed ? r : kMidiOk;
    }
    if (!wellFormed) return kMidiOk;  // dropped: never put a malformed message on a device
    return device->send(message);
}

uint32_t midiOutGetErrorTextA(uint32_t error, char* text, uint32_t textSize) {
    if (!text || textSize == 0) return kMidiErrInvalidParam;
    const char* known = errorTextUtf8(error);
    std::string utf8 = known ? std::string(known)
                             : "未知的 MIDI 错误（代码 " + std::to_string(error) + "）。";
    std::string gbk = gbkTruncate(utf8ToGbk(utf8), textSize - 1);
    std::memcpy(text, gbk.data(), gbk.size());
    text[gbk.size()] = '\0';
    return kMidiOk;
}

uint32_t CaptureMidiDevice::open() {
    ++opens;
    if (failOpenWith != kMidiOk) return failOpenWith;
    isOpen = true;
    return kMidiOk;
}

uint32_t CaptureMidiDevice::close() {
    ++closes;
    if (failCloseWith != kMidiOk) return failCloseWith;
    isOpen = false;
    return kMidiOk;
}

uint32_t CaptureMidiDevice::send(uint32_t message) {
    messages.push_back(message);
    dues.push_back(midiDueTime());
    return failSendWith;
}

std::vector<uint32_t> CaptureMidiDevice::wellFormedMessages() const {
    std::vector<uint32_t> out;
    std::copy_if(messages.begin(), messages.end(), std::back_inserter(out), isWellFormedShortMessage);
    return out;
}

}  // namespace plat

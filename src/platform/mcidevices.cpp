// The verbs of the media control strings and the table of open aliases.
#include "platform/audioengine.h"
#include "platform/mcicommand.h"
#include "platform/mcidevice.h"
#include "platform/mediaplayer.h"
#include "platform/sound.h"
#include "platform/waverecorder.h"

#include <cctype>
#include <map>
#include <memory>
#include <mutex>

namespace plat {

uint32_t MciDevice::set(const std::vector<std::string>&) { return kMciErrNotApplicable; }
uint32_t MciDevice::record() { return kMciErrNotApplicable; }
uint32_t MciDevice::play() { return kMciErrNotApplicable; }
uint32_t MciDevice::seekToStart() { return kMciErrNotApplicable; }
uint32_t MciDevice::save(const std::string&) { return kMciErrNotApplicable; }

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Open devices by alias (lower case). Commands come from the window thread;
// the lock only keeps the table whole.
struct Aliases {
    std::recursive_mutex mutex;
    std::map<std::string, std::unique_ptr<MciDevice>> devices;
};

Aliases& aliases() {
    // The devices use the engine: it must outlive the table at exit.
    AudioEngine::instance();
    static Aliases a;
    return a;
}

// Runs f with the device of args[0], or answers for a missing alias.
template <class F>
uint32_t withDevice(const MciCommand& cmd, F f) {
    if (cmd.args.empty()) return kMciErrMissingArgument;
    Aliases& a = aliases();
    std::lock_guard<std::recursive_mutex> lock(a.mutex);
    auto it = a.devices.find(lower(cmd.args[0]));
    if (it == a.devices.end()) return kMciErrUnknownAlias;
    return f(*it->second);
}

// open <element> [type <kind>] [alias <name>] [wait|shareable]
uint32_t openVerb(const MciCommand& cmd, std::string*) {
    if (cmd.args.empty()) return kMciErrMissingArgument;
    const std::string element = cmd.args[0];
    std::string type, alias;
    for (size_t i = 1; i < cmd.args.size(); ++i) {
        const std::string word = lower(cmd.args[i]);
        if ((word == "type" || word == "alias") && i + 1 < cmd.args.size()) {
            (word == "type" ? type : alias) = cmd.args[++i];
        } else if (word != "wait" && word != "shareable") {
            return kMciErrBadParameter;
        }
    }
    if (alias.empty()) alias = element;
    type = lower(type);
    Aliases& a = aliases();
    std::lock_guard<std::recursive_mutex> lock(a.mutex);
    const std::string key = lower(alias);
    if (a.devices.count(key)) return kMciErrAliasInUse;
    AudioEngine& engine = AudioEngine::instance();
    if (lower(element) == "new") {
        if (type != "waveaudio") return kMciErrBadParameter;
        a.devices[key] = std::make_unique<WaveRecorder>(engine);
        return kMciOk;
    }
    if (!type.empty() && type != "waveaudio" && type != "mpegvideo") return kMciErrBadParameter;
    uint32_t error = kMciOk;
    std::unique_ptr<MediaPlayer> player = MediaPlayer::open(engine, element, &error);
    if (!player) return error;
    a.devices[key] = std::move(player);
    return kMciOk;
}

// close <alias> | close all. An alias that is not open is accepted: the
// program closes its alias at times when nothing may be open.
uint32_t closeVerb(const MciCommand& cmd, std::string*) {
    if (cmd.args.empty()) return kMciErrMissingArgument;
    std::unique_ptr<MciDevice> closed;
    Aliases& a = aliases();
    std::lock_guard<std::recursive_mutex> lock(a.mutex);
    if (lower(cmd.args[0]) == "all") {
        a.devices.clear();
        return kMciOk;
    }
    auto it = a.devices.find(lower(cmd.args[0]));
    if (it == a.devices.end()) return kMciOk;
    closed = std::move(it->second);
    a.devices.erase(it);
    return kMciOk;
}

uint32_t setVerb(const MciCommand& cmd, std::string*) {
    return withDevice(cmd, [&](MciDevice& d) {
        return d.set(std::vector<std::string>(cmd.args.begin() + 1, cmd.args.end()));
    });
}

uint32_t recordVerb(const MciCommand& cmd, std::string*) {
    if (cmd.args.size() > 1) return kMciErrBadParameter;
    return withDevice(cmd, [](MciDevice& d) { return d.record(); });
}

uint32_t stopVerb(const MciCommand& cmd, std::string*) {
    if (cmd.args.size() > 1) return kMciErrBadParameter;
    return withDevice(cmd, [](MciDevice& d) { return d.stop(); });
}

// seek <alias> to start (also "to 0")
uint32_t seekVerb(const MciCommand& cmd, std::string*) {
    if (cmd.args.size() != 3 || !cmd.argIs(1, "to") || !(cmd.argIs(2, "start") || cmd.argIs(2, "0")))
        return kMciErrBadParameter;
    return withDevice(cmd, [](MciDevice& d) { return d.seekToStart(); });
}

// play <alias> [from 0]: only whole files are played.
uint32_t playVerb(const MciCommand& cmd, std::string*) {
    const bool fromStart = cmd.args.size() == 3 && cmd.argIs(1, "from") && cmd.argIs(2, "0");
    if (cmd.args.size() != 1 && !fromStart) return kMciErrBadParameter;
    return withDevice(cmd, [](MciDevice& d) { return d.play(); });
}

// save <alias> <file>
uint32_t saveVerb(const MciCommand& cmd, std::string*) {
    if (cmd.args.size() < 2) return kMciErrMissingArgument;
    if (cmd.args.size() > 2) return kMciErrBadParameter;
    return withDevice(cmd, [&](MciDevice& d) { return d.save(cmd.args[1]); });
}

// status <alias> mode. A closed alias reads "stopped": a program polling
// for the end of its playback sees it ended.
uint32_t statusVerb(const MciCommand& cmd, std::string* reply) {
    if (cmd.args.size() < 2) return kMciErrMissingArgument;
    if (cmd.args.size() != 2 || !cmd.argIs(1, "mode")) return kMciErrBadParameter;
    uint32_t r = withDevice(cmd, [&](MciDevice& d) {
        if (reply) *reply = d.mode();
        return kMciOk;
    });
    if (r == kMciErrUnknownAlias) {
        if (reply) *reply = "stopped";
        r = kMciOk;
    }
    return r;
}

// capability <alias> can save: "true" when the alias holds a take to save.
uint32_t capabilityVerb(const MciCommand& cmd, std::string* reply) {
    if (cmd.args.size() != 3 || !cmd.argIs(1, "can") || !cmd.argIs(2, "save")) return kMciErrBadParameter;
    return withDevice(cmd, [&](MciDevice& d) {
        if (reply) *reply = d.canSave() ? "true" : "false";
        return kMciOk;
    });
}

}  // namespace

void addMediaDeviceVerbs(std::map<std::string, MciHandler>& handlers) {
    handlers["open"] = openVerb;
    handlers["close"] = closeVerb;
    handlers["set"] = setVerb;
    handlers["record"] = recordVerb;
    handlers["stop"] = stopVerb;
    handlers["seek"] = seekVerb;
    handlers["play"] = playVerb;
    handlers["save"] = saveVerb;
    handlers["status"] = statusVerb;
    handlers["capability"] = capabilityVerb;
}

void closeAllMciDevices() {
    Aliases& a = aliases();
    std::lock_guard<std::recursive_mutex> lock(a.mutex);
    a.devices.clear();
}

}  // namespace plat

// The embedded synthesizer's soundfont: which one, and loading it whole.
#include "platform/synthesizer.h"

#include <fluidsynth.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace plat {
namespace {

namespace fs = std::filesystem;

std::uintmax_t fileSize(const fs::path& p) {
    std::error_code ec;
    auto n = fs::file_size(p, ec);
    return ec ? 0 : n;
}

bool isFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

fs::path resolved(const fs::path& p) {
    std::error_code ec;
    fs::path r = fs::canonical(p, ec);
    return ec ? p : r;
}

// fluidsynth reports missing presets, unknown settings and the like on
// stderr; the program has no use for that. Panics still go through, and
// MORVELA_AUDIO_DEBUG lets everything through.
void fluidLog(int level, const char* message, void*) {
    static const bool debug = std::getenv("MORVELA_AUDIO_DEBUG") != nullptr;
    if (level == FLUID_PANIC || debug) std::fprintf(stderr, "fluidsynth: %s\n", message);
}

void quietFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, fluidLog, nullptr);
    });
}

}  // namespace

std::string pickSoundFont(const char* envOverride, const std::string& defaultGmPath, const std::string& timGmPath) {
    if (envOverride && *envOverride && isFile(envOverride)) return envOverride;
    const bool haveTim = isFile(timGmPath);
    if (isFile(defaultGmPath)) {
        fs::path target = resolved(defaultGmPath);
        bool different = !haveTim || target != resolved(timGmPath);
        if (different && (!haveTim || fileSize(target) > fileSize(timGmPath))) return target.string();
    }
    if (haveTim) return timGmPath;
    if (isFile(defaultGmPath)) return resolved(defaultGmPath).string();
    return {};
}

LoadedSynth loadSynth(int sampleRate, const std::string& font, const std::string& fallback) {
    quietFluidLog();
    LoadedSynth out;
    fluid_settings_t* set = new_fluid_settings();
    if (!set) return out;
    fluid_settings_setnum(set, "synth.sample-rate", sampleRate);
    // One thread calls the synthesizer at a time (the render thread, or
    // the engine's owner while no output runs): no lock inside it.
    fluid_settings_setint(set, "synth.threadsafe-api", 0);
    fluid_settings_setint(set, "synth.cpu-cores", 1);
    fluid_settings_setint(set, "synth.polyphony", kSynthPolyphony);
    // Every sample is read at load and pinned in memory where the system
    // allows (a refused pin only leaves the pages to the system's care): a
    // program change or a note never reads the file on the render thread.
    fluid_settings_setint(set, "synth.dynamic-sample-loading", 0);
    fluid_settings_setint(set, "synth.lock-memory", 1);
    // Loud enough to play along with: the mix is soft-limited below full scale.
    fluid_settings_setnum(set, "synth.gain", 0.8);
    fluid_synth_t* s = new_fluid_synth(set);
    if (!s) {
        delete_fluid_settings(set);
        return out;
    }
    out.settings = set;
    out.synth = s;
    for (const std::string& f : {font, fallback}) {
        if (!f.empty() && isFile(f) && fluid_synth_sfload(s, f.c_str(), 1) != FLUID_FAILED) {
            out.font = f;
            break;
        }
    }
    return out;
}

void freeSynth(LoadedSynth& s) {
    if (s.synth) delete_fluid_synth(s.synth);
    if (s.settings) delete_fluid_settings(s.settings);
    s = {};
}

}  // namespace plat

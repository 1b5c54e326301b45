// Media devices behind the media control strings: what one alias can be
// (a wave recorder, a media player), and the verbs that reach them.
//
//   open new type waveaudio alias A        a wave recorder
//   open <file> [type waveaudio|mpegvideo] alias A   a player of a wav/mp3 file
//   set A <setting...>                     recorder format (see WaveRecorder)
//   record A / stop A / save A <file>      recorder
//   seek A to start / play A [from 0]      player
//   status A mode                          "recording", "playing", "stopped", or
//                                          "not ready" (a recorder that cannot write)
//   capability A can save                  "true" for a recorder (its take can be saved)
//   close A                                ends the device (nothing open: accepted)
//
// Words are case-insensitive; a file name with blanks is written in double
// quotes. Every verb answers with a result code of sound.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

class MciDevice {
public:
    virtual ~MciDevice() = default;
    // A device kind answers kMciErrNotApplicable for what it does not have.
    virtual uint32_t set(const std::vector<std::string>& words);
    virtual uint32_t record();
    virtual uint32_t play();
    virtual uint32_t seekToStart();
    virtual uint32_t save(const std::string& path);
    virtual uint32_t stop() = 0;
    // "recording", "playing", "stopped" or "not ready".
    virtual std::string mode() const = 0;
    virtual bool canSave() const { return false; }
};

// Closes every open alias (tests, program end).
void closeAllMciDevices();

}  // namespace plat

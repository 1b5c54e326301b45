// The media player device: plays one wav or mp3 file through the audio
// engine's mixer, so that it is heard (and recorded) like every other sound.
#pragma once

#include "platform/mcidevice.h"

#include <memory>
#include <string>

namespace plat {

class AudioEngine;
class WaveVoice;

class MediaPlayer : public MciDevice {
public:
    // Null (and *error set) when the file is missing or cannot be decoded.
    // The name is matched ignoring case where the exact one does not exist.
    static std::unique_ptr<MediaPlayer> open(AudioEngine& engine, const std::string& path, uint32_t* error);
    ~MediaPlayer() override;

    uint32_t play() override;         // from the start; does nothing while playing
    uint32_t seekToStart() override;  // stops; the next play starts at the beginning
    uint32_t stop() override;
    std::string mode() const override;  // "playing" until the file has ended or is stopped

private:
    MediaPlayer(AudioEngine& engine, std::string path);
    AudioEngine& engine_;
    std::string path_;  // local 8-bit file name
    std::shared_ptr<WaveVoice> voice_;
};

}  // namespace plat

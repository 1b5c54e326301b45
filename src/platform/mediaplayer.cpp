// The media player device: a wav or mp3 file played through the audio engine.
#include "platform/mediaplayer.h"

#include "platform/audioengine.h"
#include "platform/fileutil.h"
#include "platform/sound.h"
#include "platform/wavevoice.h"

#include <QFile>
#include <QString>

namespace plat {

std::unique_ptr<MediaPlayer> MediaPlayer::open(AudioEngine& engine, const std::string& path, uint32_t* error) {
    const QString found = resolvePath(QString::fromStdString(path));
    WaveFileInfo info;
    const std::string local = QFile::encodeName(found).toStdString();
    if (found.isEmpty() || !probeWaveFile(local, &info) || info.frames == 0) {
        *error = kMciErrCannotOpenFile;
        return nullptr;
    }
    *error = kMciOk;
    return std::unique_ptr<MediaPlayer>(new MediaPlayer(engine, local));
}

MediaPlayer::MediaPlayer(AudioEngine& engine, std::string path) : engine_(engine), path_(std::move(path)) {}

MediaPlayer::~MediaPlayer() { stop(); }

uint32_t MediaPlayer::play() {
    if (voice_ && !voice_->finished()) return kMciOk;
    stop();
    if (!engine_.running() && !engine_.start(AudioEngine::Output::Auto)) return kMciErrNoSound;
    std::shared_ptr<WaveVoice> voice = openWaveVoice(path_, engine_.sampleRate(), false);
    if (!voice) return kMciErrCannotOpenFile;
    voice_ = voice;
    engine_.addVoice(std::move(voice));
    return kMciOk;
}

uint32_t MediaPlayer::seekToStart() { return stop(); }

uint32_t MediaPlayer::stop() {
    if (voice_) {
        engine_.removeVoice(voice_);
        voice_.reset();
    }
    return kMciOk;
}

std::string MediaPlayer::mode() const { return voice_ && !voice_->finished() ? "playing" : "stopped"; }

}  // namespace plat

// The asynchronous wave player, the wave output volume and the media control strings, on the audio
// engine.
#include "platform/sound.h"

#include "platform/audioengine.h"
#include "platform/mcicommand.h"
#include "platform/textcodec.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <cstring>
#include <thread>

namespace plat {
namespace {

// The path of an existing file for `name`, matching each part of the path
// ignoring case where the exact spelling does not exist ("音效/雷声3.WAV"
// finds "音效/雷声3.wav"). Empty when there is no such file.
QString findFile(QString name) {
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QFileInfo(name).isFile()) return name;
    QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path = name.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString();
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        QString exact = path + part;
        if (QFileInfo::exists(exact) || part == QLatin1String(".") || part == QLatin1String("..")) {
            path = exact;
        } else {
            QDir dir(path.isEmpty() ? QStringLiteral(".") : path);
            QString match;
            for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
                if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                    match = entry;
                    break;
                }
            }
            if (match.isEmpty()) return {};
            path += match;
        }
        if (i + 1 < parts.size()) path += QLatin1Char('/');
    }
    return QFileInfo(path).isFile() ? path : QString();
}

void copyReply(const std::string& utf8, char* out, uint32_t size) {
    if (!out || size == 0) return;
    std::string gbk = gbkTruncate(utf8ToGbk(utf8), size - 1);
    std::memcpy(out, gbk.data(), gbk.size());
    out[gbk.size()] = '\0';
}

}  // namespace

bool sndPlaySoundA(const char* fileName, uint32_t flags) {
    AudioEngine& engine = AudioEngine::instance();
    if (!fileName || !*fileName) {
        engine.stopEffect();
        return true;
    }
    QString path = findFile(fromGbk(QByteArray(fileName)));
    if (path.isEmpty()) {
        engine.stopEffect();
        return false;
    }
    if (!engine.running()) engine.start(AudioEngine::Output::Auto);
    const bool loop = (flags & kSndLoop) != 0;
    if (!engine.playEffect(QFile::encodeName(path).toStdString(), loop)) return false;  // the previous one has ended
    if (!(flags & kSndAsync) && !loop && engine.outputName() != "manual") {
        while (engine.running() && engine.effectPlaying())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

uint32_t waveOutSetVolume(uintptr_t, uint32_t volume) {
    AudioEngine::instance().setWaveGain(static_cast<float>(volume & 0xFFFF) / 65535.0f,
                                        static_cast<float>(volume >> 16) / 65535.0f);
    return 0;
}

uint32_t mciSendStringA(const char* command, char* returnString, uint32_t returnLength, uintptr_t) {
    copyReply({}, returnString, returnLength);
    if (!command) return kMciErrUnknownCommand;
    std::string reply;
    uint32_t r = runMciCommand(fromGbk(QByteArray(command)).toStdString(), &reply);
    copyReply(reply, returnString, returnLength);
    return r;
}

}  // namespace plat

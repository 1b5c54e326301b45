// The recorder commands the main window and the music editor send to the media device "NN".
#include "midi/recorder.h"

#include "platform/dialogs.h"
#include "runtime/runtime.h"
#include "platform/sound.h"
#include "platform/textcodec.h"

#include <QFileInfo>

namespace midi::recorder {

namespace {

// A path that survives the trip through the GBK command string.
bool gbkSafe(const QString& path) { return plat::fromGbk(plat::toGbk(path)) == path; }

// Quoted, so that a path with blanks stays one word of the command.
QString quoted(const QString& path) { return u'"' + path + u'"'; }

// The device type of a file, from its ending; none for other endings.
QString deviceType(const QString& path) {
    const QString ending = path.right(3).toLower();
    if (ending == QLatin1String("wav")) return QStringLiteral(" TYPE WaveAudio");
    if (ending == QLatin1String("mp3")) return QStringLiteral(" TYPE MPEGVideo");
    return QString();
}

QString askFile(QWidget* parent, const plat::FileDialogRequest& request) {
    const plat::FileDialogResult chosen = plat::dialogs().fileDialog(parent, request);
    const QString path = chosen.cancelled ? QString() : chosen.fileName;
    if (path.isEmpty()) return QString();
    // The command quotes the path, and a quote in it would end it early.
    if (path.contains(u'"')) {
        plat::msgBox(QStringLiteral("路径“%1”含有双引号(\")，录音机无法使用，请换一个文件名或文件夹再试！").arg(path),
                     plat::kOkOnly | plat::kExclamation);
        return QString();
    }
    if (!gbkSafe(path)) {
        plat::msgBox(QStringLiteral("文件名“%1”含有无法识别的字符，请换一个文件名再试！").arg(QFileInfo(path).fileName()),
                     plat::kOkOnly | plat::kExclamation);
        return QString();
    }
    return path;
}

}  // namespace

uint32_t send(const QString& command, QString* reply) {
    char buffer[65] = {};
    const uint32_t result = plat::mciSendStringA(plat::toGbk(command).constData(), buffer, reply ? 64 : 0, 0);
    if (reply) *reply = plat::fromGbk(QByteArray(buffer));
    return result;
}

bool startTake(const QString& bitsPerSample, const QString& samplesPerSec) {
    // "CLOSE NN" ends a file that plays; the take starts from nothing.
    send(QStringLiteral("CLOSE NN"));
    const uint32_t opened = send(QStringLiteral("OPEN NEW TYPE WaveAudio ALIAS NN"));
    send(QStringLiteral("Set NN assemble record off"));
    send(QStringLiteral("Set NN file format tag pcm"));
    send(QStringLiteral("Set NN algorithm pcm"));
    send(QStringLiteral("Set NN bitspersample ") + bitsPerSample);
    send(QStringLiteral("Set NN samplespersec ") + samplesPerSec);
    send(QStringLiteral("Set NN channels 2"));
    const uint32_t recording = send(QStringLiteral("RECORD NN"));
    if (opened == plat::kMciOk && recording == plat::kMciOk) return true;
    send(QStringLiteral("CLOSE NN"));
    return false;
}

void stop() { send(QStringLiteral("STOP NN")); }

QString askFileToPlay(QWidget* parent, const QString& initDir) {
    plat::FileDialogRequest request;
    request.filter = QStringLiteral("演奏录音(wav)|*.wav|音乐(mp3)|*.mp3");
    request.filterIndex = 1;
    request.flags = 16;
    request.initDir = initDir;
    return askFile(parent, request);
}

QString askFileToSave(QWidget* parent, const QString& initDir) {
    plat::FileDialogRequest request;
    request.save = true;
    request.filter = QStringLiteral("演奏录音(wav)|*.wav");
    request.flags = 2;
    request.initDir = initDir;
    return askFile(parent, request);
}

bool playFile(const QString& path) {
    send(QStringLiteral("CLOSE NN"));
    uint32_t result = send(QStringLiteral("OPEN ") + quoted(path) + deviceType(path) + QStringLiteral(" ALIAS NN"));
    if (result == plat::kMciOk) {
        send(QStringLiteral("seek NN to start"));
        result = send(QStringLiteral("PLAY NN FROM 0"));
    }
    if (result == plat::kMciOk) return true;
    send(QStringLiteral("CLOSE NN"));
    return false;
}

void reportUnplayable(const QString& path) {
    plat::msgBox(QStringLiteral("无法播放文件“%1”！").arg(QFileInfo(path).fileName()), plat::kOkOnly | plat::kExclamation);
}

bool saveTake(const QString& path) {
    send(QStringLiteral("stop NN"));
    if (send(QStringLiteral("save NN ") + quoted(path)) != plat::kMciOk) return false;
    send(QStringLiteral("close NN"));
    return true;
}

void reportUnsaved() {
    plat::msgBox(QStringLiteral("录音没有保存成功，请换一个文件名或文件夹再试！"), plat::kOkOnly | plat::kExclamation);
}

Poll poll() {
    QString mode;
    send(QStringLiteral("status NN mode"), &mode);
    if (mode == QLatin1String("not ready")) {
        send(QStringLiteral("STOP NN"));
        return Poll::CannotSpool;
    }
    if (mode.left(7) != QLatin1String("stopped")) return Poll::Running;
    send(QStringLiteral("STOP NN"));
    send(QStringLiteral("Close NN"));
    return Poll::Ended;
}

void reportCannotSpool() {
    plat::msgBox(QStringLiteral("录音已停止：录音的临时文件无法继续写入（磁盘可能已满）。已录下的部分仍可保存。"),
                 plat::kOkOnly | plat::kExclamation);
}

bool takeToSave() {
    QString answer;
    return send(QStringLiteral("capability NN can save"), &answer) == plat::kMciOk && answer == QLatin1String("true");
}

void countSecond(int16_t& minutes, int16_t& seconds) {
    if (seconds == 59) {
        minutes = rt::add16(minutes, 1);
        seconds = 0;
    } else {
        seconds = rt::add16(seconds, 1);
    }
}

}  // namespace midi::recorder

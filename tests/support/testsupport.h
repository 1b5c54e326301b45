// Shared test aids: dialogs that tests answer, a capture MIDI device table,
// and a scratch program folder.
#pragma once

#include "platform/dialogs.h"
#include "platform/midiout.h"

#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace testing_support {

// Records every message box and answers from queues; the program's end
// throws plat::ProgramEnded.
class TestDialogs : public plat::Dialogs {
public:
    TestDialogs();
    ~TestDialogs() override;
    int messageBox(QWidget*, const QString& text, int style, const QString& title) override;
    bool inputBox(QWidget*, const QString& prompt, const QString& title, const QString& defaultText,
                  QString* answer) override;
    plat::FileDialogResult fileDialog(QWidget*, const plat::FileDialogRequest& request) override;
    [[noreturn]] void endProgram(int exitCode) override;

    QStringList messages;                 // texts of the message boxes shown
    std::function<void(const QString&)> onMessage;  // runs while a message box is "open"
    std::deque<int> messageAnswers;       // answers (default: OK)
    std::deque<QString> inputAnswers;     // answers of input boxes (empty queue: cancelled)
    std::deque<QString> fileAnswers;      // full paths chosen (empty queue: cancelled)
    QList<plat::FileDialogRequest> fileRequests;
    int ends = 0;
};

// Replaces the MIDI device table with capture devices for a test's life:
// the mapper and device 0 are one capture device, device 1 another.
class CaptureDevices {
public:
    CaptureDevices();
    ~CaptureDevices();
    std::shared_ptr<plat::CaptureMidiDevice> mapper;
    std::shared_ptr<plat::CaptureMidiDevice> second;
    // Messages sent to the mapper since the last take().
    std::vector<uint32_t> take();
};

// A scratch program folder with optional "演奏记录" and "音效" folders.
class ScratchFolder {
public:
    explicit ScratchFolder(bool withRecordFolder = true, bool withEffectFolder = true);
    QString path() const;  // with trailing '/'
    QString file(const QString& name) const { return path() + name; }
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir dir_;
};

// Short MIDI messages (status | data1 << 8 | data2 << 16) as the window
// fixtures build and filter them.
struct MidiMessageAids {
    using Msgs = std::vector<uint32_t>;

    static uint32_t msg(int status, int d1, int d2) {
        return static_cast<uint32_t>(status | (d1 << 8) | (d2 << 16));
    }
    // Note-offs of notes from..to on a channel.
    static Msgs offs(int channel, int from, int to) {
        Msgs m;
        for (int n = from; n <= to; ++n) m.push_back(msg(0x80 + channel, n, 0));
        return m;
    }
    static Msgs cat(Msgs a, const Msgs& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    // Only the messages whose status byte is in [lo, hi].
    static Msgs only(const Msgs& m, int lo, int hi) {
        Msgs out;
        for (uint32_t v : m)
            if (static_cast<int>(v & 0xFF) >= lo && static_cast<int>(v & 0xFF) <= hi) out.push_back(v);
        return out;
    }
    static bool contains(const Msgs& m, uint32_t v) { return std::find(m.begin(), m.end(), v) != m.end(); }
};

// Formats messages as upper-case hex for readable failures.
std::string hexList(const std::vector<uint32_t>& messages);

// Runs child() in a forked process whose files cannot grow past `bytes`
// (SIGXFSZ ignored, so writes past it fail part way with an error instead of
// ending the process); returns child()'s exit code, or -1. The limit can be
// lifted inside with liftFileSizeLimit().
int withFileSizeLimit(long bytes, const std::function<int()>& child);
void liftFileSizeLimit();

}  // namespace testing_support

// Shared test aids: dialogs that tests answer, a capture MIDI device table, a scratch program folder, message aids
// and a file size limit.
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
#include <utility>
#include <vector>

namespace testing_support {

// Records every message box and answers from queues (empty: OK, cancelled); the program's end throws
// plat::ProgramEnded.
class TestDialogs : public plat::Dialogs {
public:
    TestDialogs() { plat::setDialogs(this); }
    ~TestDialogs() override { plat::setDialogs(nullptr); }
    int messageBox(QWidget*, const QString& text, int style, const QString& title) override;
    bool inputBox(QWidget*, const QString& prompt, const QString& title, const QString& defaultText,
                  QString* answer) override;
    plat::FileDialogResult fileDialog(QWidget*, const plat::FileDialogRequest& request) override;
    [[noreturn]] void endProgram(int exitCode) override { ++ends, throw plat::ProgramEnded(exitCode); }

    QStringList messages;                           // texts of the message boxes shown
    QList<int> messageStyles;                       // their buttons, icon and default button
    std::function<void(const QString&)> onMessage;  // runs while a message box is "open"
    std::deque<int> messageAnswers;
    std::deque<QString> inputAnswers, fileAnswers;  // typed texts, full paths chosen
    QList<plat::FileDialogRequest> fileRequests;
    int ends = 0;
};

// The MIDI device table for a test's life: the mapper and device 0 are one capture device, device 1 another.
class CaptureDevices {
public:
    CaptureDevices();
    ~CaptureDevices() { plat::resetMidiDeviceTable(); }
    std::shared_ptr<plat::CaptureMidiDevice> mapper, second;
    std::vector<uint32_t> take() { return std::exchange(mapper->messages, {}); }  // since the last take()
};

// A scratch program folder with optional "演奏记录" and "音效" folders.
class ScratchFolder {
public:
    explicit ScratchFolder(bool withRecordFolder = true, bool withEffectFolder = true);
    QString path() const { return dir_.path() + u'/'; }
    QString file(const QString& name) const { return path() + name; }
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir dir_;
};

// Short MIDI messages (status | data1 << 8 | data2 << 16).
struct MidiMessageAids {
    using Msgs = std::vector<uint32_t>;
    static uint32_t msg(int status, int d1, int d2) { return static_cast<uint32_t>(status | (d1 << 8) | (d2 << 16)); }
    static Msgs offs(int channel, int from, int to) {  // note-offs of notes from..to
        Msgs m;
        for (int n = from; n <= to; ++n) m.push_back(msg(0x80 + channel, n, 0));
        return m;
    }
    static Msgs cat(Msgs a, const Msgs& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
    static Msgs only(const Msgs& m, int lo, int hi) {  // status byte in [lo, hi]
        Msgs out;
        std::copy_if(m.begin(), m.end(), std::back_inserter(out), [&](uint32_t v) {
            return static_cast<int>(v & 0xFF) >= lo && static_cast<int>(v & 0xFF) <= hi;
        });
        return out;
    }
    static bool contains(const Msgs& m, uint32_t v) { return std::find(m.begin(), m.end(), v) != m.end(); }
};

std::string hexList(const std::vector<uint32_t>& messages);  // upper-case hex, for failures

// Runs child() in a forked process whose files cannot grow past `bytes` (writes past it fail with an error); returns
// its exit code, or -1. liftFileSizeLimit() lifts the limit inside.
int withFileSizeLimit(long bytes, const std::function<int()>& child);
void liftFileSizeLimit();

}  // namespace testing_support

// The recorder commands both windows send: one media device on the alias
// "NN" that records what the user hears (the mix of the synthesizer, the
// effects and any playback) or plays a wav or mp3 file. The windows keep their
// own buttons, clocks and messages; the command strings, their order and the
// file choosing are here once.
#pragma once

#include <QString>

#include <cstdint>

class QWidget;

namespace midi::recorder {

// One command (sent as GBK); with reply, up to 64 characters of answer.
uint32_t send(const QString& command, QString* reply = nullptr);

// Starts a new take in the given sample size and rate, closing whatever was
// open. False, with the device closed again, when it does not record.
bool startTake(const QString& bitsPerSample, const QString& samplesPerSec);

// Stops recording or playing; the device stays open, so a stopped take can
// still be saved.
void stop();

// Asks for a wav or mp3 file to play, or for the wav file to save the take
// in. Empty when cancelled, or refused with a message because the path holds
// a double quote (the command's quoting cannot hold it) or does not survive
// the trip through the GBK command string.
QString askFileToPlay(QWidget* parent, const QString& initDir);
QString askFileToSave(QWidget* parent, const QString& initDir);

// Closes whatever was open (an unsaved take is given up) and plays the file
// from its start. False, with the device closed, when it does not play.
bool playFile(const QString& path);
// The message for a file that does not play.
void reportUnplayable(const QString& path);

// Stops the take and saves it; the device is closed when that worked. False:
// the take stays open and can go to another file.
bool saveTake(const QString& path);
// The message for a take that was not saved.
void reportUnsaved();

// What the recorder clock's poll finds.
enum class Poll {
    Running,
    Ended,       // the playback (or take) stopped by itself: the device is stopped and closed
    CannotSpool  // the take cannot be written on (a full disk): it is stopped and stays
                 // open, so what was recorded can be saved
};
Poll poll();
// The message for a take that stopped because it could not be written on.
void reportCannotSpool();

// Whether the device holds a take that "保存" can save (either window may
// have saved or closed it meanwhile).
bool takeToSave();

// One second more on a window's recorder clock; second 59 rolls over into a
// minute.
void countSecond(int16_t& minutes, int16_t& seconds);

}  // namespace midi::recorder

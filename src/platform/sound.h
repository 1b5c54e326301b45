// Stand-ins for the sound-playing calls the program makes: the asynchronous
// wave player, the wave output volume and the media control strings.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

// Flags of the wave player.
enum : uint32_t {
    kSndAsync = 1,      // return at once
    kSndNoDefault = 2,  // no fallback sound when the file cannot be played
    kSndLoop = 8,       // repeat until the next request
};

// Plays a wave (or mp3) file through the engine's effect slot. A null or
// empty name stops the sound in progress. Returns true when playing started
// (or, for a stop, always true). The name is GBK text; a backslash separates folders
// as well as '/', and a name that does not exist exactly is looked up
// ignoring case. A new request ends the sound in progress, also when the new
// file cannot be played (there is no fallback sound). Without kSndAsync (and
// without kSndLoop) the call returns when the sound has ended. Starts the
// audio engine when it is not running.
bool sndPlaySoundA(const char* fileName, uint32_t flags);

// Wave output volume: low word left, high word right, 0..0xFFFF each.
uint32_t waveOutSetVolume(uintptr_t device, uint32_t volume);

// Results of the media control strings (numbers of our own).
enum MciResult : uint32_t {
    kMciOk = 0,
    kMciErrUnknownCommand = 301,   // empty command
    kMciErrNotSupported = 302,     // a verb this program does not handle (yet)
    kMciErrMissingArgument = 303,  // e.g. "close" without an alias
    kMciErrUnknownAlias = 304,     // no device is open under that alias
    kMciErrAliasInUse = 305,       // "open ... alias X" while X is open
    kMciErrBadParameter = 306,     // a word the command does not take, a value out of range
    kMciErrCannotOpenFile = 307,   // missing or undecodable media file
    kMciErrCannotWriteFile = 308,  // a recording that cannot be written or saved
    kMciErrBusy = 309,             // a format change while recording
    kMciErrNoSound = 310,          // the audio engine could not be started
    kMciErrNotApplicable = 311,    // a command the device kind does not have (record on a player)
};

// Media control strings ("OPEN ...", "RECORD NN", "CLOSE NN", "status NN mode", ...).
// The command is GBK text; verbs are case-insensitive and dispatched through
// the verb table of platform/mcicommand.h. Returns 0 on success; the reply
// goes to returnString (GBK, zero-terminated, cut to fit; empty when there is
// no reply).
uint32_t mciSendStringA(const char* command, char* returnString, uint32_t returnLength,
                        uintptr_t callbackWindow);

}  // namespace plat

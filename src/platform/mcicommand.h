// Media control strings: a small parser and a table of verbs. Each verb
// ("open", "record", "save", "status", "close", ...) has a handler that gets
// the parsed command and may write a reply. The media devices' verbs are
// there from the start (platform/mcidevice.h); unknown verbs are refused.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace plat {

struct MciCommand {
    std::string verb;               // lower case
    std::vector<std::string> args;  // as written (quotes removed)

    // True when args[i] exists and equals word, ignoring ASCII case.
    bool argIs(size_t i, const char* word) const;
};

// Words are separated by blanks; a double-quoted word may hold blanks.
MciCommand parseMciCommand(const std::string& text);

// Handler: returns 0 or an error code, and may set *reply (UTF-8).
using MciHandler = std::function<uint32_t(const MciCommand& command, std::string* reply)>;
// Adds or replaces the handler of a verb (case-insensitive).
void registerMciVerb(const std::string& verb, MciHandler handler);
// Parses and runs a command (UTF-8).
uint32_t runMciCommand(const std::string& text, std::string* reply);

// Sees every command run, with its result (tests, diagnostics). Empty: none.
using MciObserver = std::function<void(const std::string& text, uint32_t result)>;
void setMciObserver(MciObserver observer);

// The media devices' verbs, registered into a new verb table.
void addMediaDeviceVerbs(std::map<std::string, MciHandler>& handlers);

}  // namespace plat

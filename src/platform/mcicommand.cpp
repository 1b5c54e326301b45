#include "platform/mcicommand.h"

#include "platform/sound.h"

#include <cctype>
#include <map>
#include <mutex>

namespace plat {
namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// "close <alias>": nothing is open yet that needs closing; accepted so the
// program may close an alias it never opened, as it does on start-up.
uint32_t closeVerb(const MciCommand& cmd, std::string*) {
    return cmd.args.empty() ? kMciErrMissingArgument : kMciOk;
}

struct VerbTable {
    VerbTable() { handlers["close"] = closeVerb; }
    std::mutex mutex;
    std::map<std::string, MciHandler> handlers;
};

VerbTable& verbs() {
    static VerbTable t;
    return t;
}

}  // namespace

bool MciCommand::argIs(size_t i, const char* word) const {
    return i < args.size() && lower(args[i]) == lower(word);
}

MciCommand parseMciCommand(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        if (i >= text.size()) break;
        std::string word;
        if (text[i] == '"') {
            size_t end = text.find('"', i + 1);
            if (end == std::string::npos) end = text.size();
            word = text.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            size_t end = i;
            while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
            word = text.substr(i, end - i);
            i = end;
        }
        words.push_back(std::move(word));
    }
    MciCommand cmd;
    if (!words.empty()) {
        cmd.verb = lower(words.front());
        cmd.args.assign(words.begin() + 1, words.end());
    }
    return cmd;
}

void registerMciVerb(const std::string& verb, MciHandler handler) {
    VerbTable& t = verbs();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.handlers[lower(verb)] = std::move(handler);
}

uint32_t runMciCommand(const std::string& text, std::string* reply) {
    MciCommand cmd = parseMciCommand(text);
    if (cmd.verb.empty()) return kMciErrUnknownCommand;
    MciHandler handler;
    {
        VerbTable& t = verbs();
        std::lock_guard<std::mutex> lock(t.mutex);
        auto it = t.handlers.find(cmd.verb);
        if (it == t.handlers.end()) return kMciErrNotSupported;
        handler = it->second;
    }
    return handler(cmd, reply);
}

}  // namespace plat

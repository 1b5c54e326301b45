// The media control string parser and the table of verbs.
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

struct VerbTable {
    VerbTable() { addMediaDeviceVerbs(handlers); }
    std::mutex mutex;
    std::map<std::string, MciHandler> handlers;
    MciObserver observer;
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

void setMciObserver(MciObserver observer) {
    VerbTable& t = verbs();
    std::lock_guard<std::mutex> lock(t.mutex);
    t.observer = std::move(observer);
}

uint32_t runMciCommand(const std::string& text, std::string* reply) {
    MciCommand cmd = parseMciCommand(text);
    MciHandler handler;
    MciObserver observer;
    {
        VerbTable& t = verbs();
        std::lock_guard<std::mutex> lock(t.mutex);
        observer = t.observer;
        auto it = t.handlers.find(cmd.verb);
        if (it != t.handlers.end()) handler = it->second;
    }
    uint32_t result = cmd.verb.empty() ? kMciErrUnknownCommand : handler ? handler(cmd, reply) : kMciErrNotSupported;
    if (observer) observer(text, result);
    return result;
}

}  // namespace plat

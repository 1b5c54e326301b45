// The desktop shell's "open this" call: an address or a file opened with the
// desktop's own program for it (the browser for a web page). Behind an
// interface that tests replace, so that no browser opens.
#pragma once

#include <QString>
#include <cstdint>

namespace plat {

struct ShellRequest {
    QString verb;        // "open" (empty means the same)
    QString file;        // an address ("https://...") or a local file
    QString parameters;
    QString folder;
    int showCommand = 1;
};

class Shell {
public:
    virtual ~Shell() = default;
    // Above 32 when it was opened; 0..32 an error number (31: nothing on the
    // desktop can open it, 2: the file does not exist).
    virtual intptr_t execute(const ShellRequest& request) = 0;
};

Shell& shell();
// Installs a replacement (tests); nullptr restores the desktop's.
void setShell(Shell* replacement);

// The call as the program makes it: owner window, verb, file, parameters,
// folder, show command. Texts are GBK.
intptr_t ShellExecuteA(uintptr_t owner, const char* verb, const char* file, const char* parameters,
                       const char* folder, int showCommand);

}  // namespace plat

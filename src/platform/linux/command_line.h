#pragma once

#include <QStringList>
#include <optional>

namespace daylume {

// What the command line asks of this process.
struct CommandLine {
    enum class Request { Run, Refresh, Preferences, Quit } request = Request::Run;
    // Started by the session at login, not by the user: without a tray it shows nothing.
    bool atLogin = false;
    // Set when the process is to end at once with this status: after --help or --version (0),
    // or an unknown option, which prints the usage on stderr (2).
    std::optional<int> exitStatus;
};

// GNU conventions: --help, --version, --refresh, --preferences, --quit, --autostart.
CommandLine parseCommandLine(const QStringList& arguments);

}  // namespace daylume

#pragma once

#include <QStringList>
#include <optional>

namespace daylume {

// What the command line asks of this process.
struct CommandLine {
    enum class Request { Run, Refresh, Preferences, Quit } request = Request::Run;
    // Set when the process is to end at once with this status: after --help or --version (0),
    // or an unknown option, which prints the usage on stderr (2).
    std::optional<int> exitStatus;
};

// GNU conventions: --help, --version, --refresh, --preferences, --quit.
CommandLine parseCommandLine(const QStringList& arguments);

}  // namespace daylume

#pragma once

#include <QObject>
#include <chrono>
#include <filesystem>
#include <string_view>

namespace daylume {

// One running Daylume per user: a later launch hands its request to the first one and leaves.
// They meet on a local socket in a folder only this user can write, and each checks that the
// other is a process of the same user, so no other local user can take the place of either.
// Works with or without a session bus.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // An empty path: no safe place to meet, so this process runs on its own.
    explicit SingleInstance(std::filesystem::path socketPath = defaultSocketPath());
    ~SingleInstance() override;
    // daylume.socket in $XDG_RUNTIME_DIR, else in ${XDG_CACHE_HOME:-~/.cache}/daylume, made if
    // need be; empty, with a line on stderr, when the folder is not this user's alone.
    static std::filesystem::path defaultSocketPath();

    // Hands `message` to the running Daylume of this user; false when none runs.
    bool tell(std::string_view message) const;
    // Tells the running Daylume to quit and waits, up to `limit`, until that process has ended.
    enum class QuitOutcome { NotRunning, Ended, StillRunning };
    QuitOutcome quit(std::chrono::milliseconds limit) const;
    // Listens for later launches and returns true; or, when this user's Daylume runs already,
    // hands it `message` and returns false.
    bool claim(std::string_view message);

Q_SIGNALS:
    // "activate", "refresh" or "quit", from a later launch.
    void received(const QString& message);

private:
    // A connected socket to the running Daylume, told `message`; -1 when none runs.
    int send(std::string_view message) const;
    void accept();

    std::filesystem::path path_;
    int listener_ = -1;
};

}  // namespace daylume

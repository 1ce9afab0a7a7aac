// One Daylume per user: a later launch hands its request to the first one, and nobody else can
// stand in for either.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "platform/linux/single_instance.h"
#include "support/event_loop.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {
namespace fs = std::filesystem;

TEST(SingleInstanceTest, LaterLaunchesHandTheirRequestToTheFirst) {
    TempDir runtime;
    const fs::path socket = runtime.path() / "daylume.socket";
    std::ofstream(socket) << "";  // left by one that crashed: nobody listens there
    SingleInstance first(socket);
    QStringList received;
    QObject::connect(&first, &SingleInstance::received, [&](const QString& m) { received << m; });
    ASSERT_TRUE(first.claim("activate"));

    EXPECT_FALSE(SingleInstance(socket).claim("activate"));
    EXPECT_FALSE(SingleInstance(socket).claim("refresh"));
    EXPECT_TRUE(SingleInstance(socket).tell("quit"));
    EXPECT_TRUE(waitUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received, (QStringList{"activate", "refresh", "quit"}));
    EXPECT_FALSE(SingleInstance(runtime.path() / "nobody.socket").tell("quit"));
}

// Another local user must neither receive this user's launches nor keep Daylume from starting:
// not through a folder of theirs at the fallback path, nor through a socket they listen on.
// Without XDG_RUNTIME_DIR the socket lives in the user's cache folder, never in a shared one.
TEST(SingleInstanceTest, NoOtherUserStandsInForTheFirst) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    constexpr uid_t kOther = 4242;
    TempDir cache, runtime;
    setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SingleInstance::defaultSocketPath(), cache.path() / "daylume" / "daylume.socket");
    ASSERT_EQ(chown((cache.path() / "daylume").c_str(), kOther, kOther), 0);
    EXPECT_EQ(SingleInstance::defaultSocketPath(), fs::path());
    EXPECT_TRUE(SingleInstance().claim("activate"));

    // Their socket in this user's folder: listened on by them, it is never told anything.
    setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    const fs::path path = SingleInstance::defaultSocketPath();
    ASSERT_EQ(path, runtime.path() / "daylume.socket");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{.sun_family = AF_UNIX};
        std::strcpy(address.sun_path, path.c_str());
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        if (setuid(kOther) != 0 || listen(listener, 8) != 0) _exit(2);
        write(ready[1], "x", 1);
        pollfd wait{listener, POLLIN, 0};
        if (poll(&wait, 1, 2000) <= 0) _exit(0);
        const int client = accept(listener, nullptr, nullptr);
        char byte;
        _exit(read(client, &byte, 1) > 0 ? 1 : 0);
    }
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    SingleInstance instance;
    EXPECT_FALSE(instance.tell("activate"));
    EXPECT_TRUE(instance.claim("activate"));
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the other user's process was told something";
    unsetenv("XDG_CACHE_HOME");
    unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace daylume::test

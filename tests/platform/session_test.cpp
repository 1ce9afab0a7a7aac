// What the session gives Daylume, on Qt's loop: the main loop and its timers, system events from
// the system bus (python-dbusmock on the test's own bus standing for it), one instance per user,
// and the bundle's settings and string tables as compiled into the program.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusMessage>
#include <QLocale>
#include <QThread>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/linux/logind_wake_source.h"
#include "platform/linux/network_monitor.h"
#include "platform/linux/qt_bundle.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/system_events.h"
#include "shell/user_status.h"
#include "support/dbus_mock.h"
#include "support/event_loop.h"
#include "support/sim_platform.h"

namespace daylume::test {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// ---- The main loop

TEST(QtMainLoopTest, TasksFromOtherThreadsRunOnTheMainThread) {
    QtMainLoop loop;
    std::atomic<int> onMain = 0;
    auto check = [&] { onMain += QThread::currentThread() == qApp->thread(); };
    std::thread([&] {
        loop.async(check);
        loop.asyncAfter(Seconds(0.02), check);
    }).join();
    EXPECT_TRUE(waitUntil([&] { return onMain == 2; }));
}

TEST(QtMainLoopTest, TimersRunUntilInvalidatedWhoeverHoldsThem) {
    QtMainLoop loop;
    int ticks = 0;
    // Nobody keeps this one: it runs on until its block invalidates it.
    loop.scheduledTimer(Seconds(0.01), true, [&](const std::shared_ptr<Timer>& timer) {
        if (++ticks == 3) timer->invalidate();
    });
    // A one-shot timer whose block drops the last outside reference to it while it runs.
    std::shared_ptr<Timer> held;
    bool fired = false;
    held = loop.scheduledTimer(Seconds(0.01), false, [&](const std::shared_ptr<Timer>& timer) {
        EXPECT_EQ(timer, held);
        held.reset();
        fired = true;
    });
    EXPECT_TRUE(waitUntil([&] { return ticks == 3 && fired; }));
    pause(100ms);
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(held);

    const auto cancelled = loop.scheduledTimer(Seconds(0.01), false, [&](auto&) { ++ticks; });
    EXPECT_TRUE(cancelled->isValid());
    cancelled->invalidate();
    EXPECT_FALSE(cancelled->isValid());
    pause(100ms);
    EXPECT_EQ(ticks, 3);
}

// ---- System events

TEST(SystemEventsTest, ASuspendAndResumeIsExactlyOneWake) {
    DBusMock logind("org.freedesktop.login1", "/org/freedesktop/login1", "logind");
    ASSERT_TRUE(logind.ready());
    int wakes = 0;
    LogindWakeSource source([&] { ++wakes; }, QDBusConnection::sessionBus());
    // Signals from anyone but logind are not wakes.
    QDBusMessage impostor = QDBusMessage::createSignal(
        "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
    impostor << false;
    QDBusConnection::connectToBus(QDBusConnection::SessionBus, "someone-else").send(impostor);
    for (bool goingToSleep : {true, false})
        logind.mock("EmitSignal", {"org.freedesktop.login1.Manager", "PrepareForSleep", "b",
                                   QVariantList{goingToSleep}});
    EXPECT_TRUE(waitUntil([&] { return wakes == 1; }));
    pause(300ms);
    EXPECT_EQ(wakes, 1);
}

TEST(SystemEventsTest, OnlyAReturnToFullNetworkAccessCounts) {
    DBusMock manager("org.freedesktop.NetworkManager", "/org/freedesktop/NetworkManager",
                     "networkmanager");
    ASSERT_TRUE(manager.ready());
    int returns = 0;
    NetworkMonitor monitor([&] { ++returns; }, QDBusConnection::sessionBus());
    pause(300ms);  // it starts online: no change
    auto enter = [&](uint state) {
        manager.mock("SetGlobalConnectionState", {state});
        pause(300ms);
    };
    enter(70);  // online to online
    EXPECT_EQ(returns, 0);
    enter(20);  // disconnected
    enter(70);
    EXPECT_EQ(returns, 1);
    enter(60);  // a network without the internet, then the internet again
    enter(70);
    EXPECT_EQ(returns, 2);
}

// ---- One Daylume per user: a later launch hands its request to the first one, and nobody else
// can stand in for either.

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

// A request that comes before the application observes it (in its first seconds) is carried out
// once it does, once.
TEST(SingleInstanceTest, EarlyRequestsWaitForTheirObserver) {
    TempDir runtime;
    SingleInstance first(runtime.path() / "daylume.socket");
    ASSERT_TRUE(first.claim("activate"));
    QtSystemEvents events(first);
    for (const char* request : {"preferences", "preferences", "refresh"})
        EXPECT_TRUE(SingleInstance(runtime.path() / "daylume.socket").tell(request));
    pause(300ms);
    int preferences = 0;
    events.addObserver(SystemEvent::PreferencesRequest, [&] { ++preferences; });
    EXPECT_TRUE(waitUntil([&] { return preferences == 1; }));
    pause(100ms);
    EXPECT_EQ(preferences, 1);
}

// A socket's path has room for 107 bytes: a longer runtime folder gives way to the cache's, and a
// longer cache folder leaves the single instance off, saying why.
TEST(SingleInstanceTest, AFolderTooLongForASocketIsPassedOver) {
    TempDir temp;
    const fs::path deep = temp.path() / std::string(100, 'r');
    fs::create_directories(deep);
    fs::permissions(deep, fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", deep.c_str(), 1);
    setenv("XDG_CACHE_HOME", temp.path().c_str(), 1);
    EXPECT_EQ(SingleInstance::defaultSocketPath(), temp.path() / "daylume/daylume.socket");
    setenv("XDG_CACHE_HOME", deep.c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(SingleInstance::defaultSocketPath(), fs::path());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("too long a path"), std::string::npos);
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("XDG_CACHE_HOME");
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

// ---- The bundle

TEST(QtBundleTest, OnlyStringValuesCount) {
    const QtBundle bundle(R"({"CFBundleShortVersionString": 2.3, "CFBundleVersion": ["17"],
                              "Other": "x"})");
    EXPECT_EQ(bundle.stringValue("CFBundleShortVersionString"), std::nullopt);
    EXPECT_EQ(bundle.stringValue("CFBundleVersion"), std::nullopt);
    EXPECT_EQ(bundle.stringValue("Missing"), std::nullopt);
    EXPECT_EQ(bundle.stringValue("Other"), "x");

    const QtBundle builtIn(QtBundle::builtInSettings());
    EXPECT_EQ(builtIn.stringValue("CFBundleShortVersionString"), DAYLUME_VERSION);
    EXPECT_TRUE(builtIn.stringValue("CFBundleVersion").has_value());
}

// The user's language where there is a table for it, else English; a missing key shows itself.
TEST(QtBundleTest, TheUsersLanguageIsUsedOrElseEnglish) {
    const QtBundle bundle(QByteArray("{}"));
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QtBundle::loadTranslations();
    EXPECT_EQ(bundle.localizedString("menu_quit"), "退出 Daylume");
    EXPECT_EQ(bundle.localizedString("button_open"), "打开");
    EXPECT_EQ(bundle.localizedString("no_such_key"), "no_such_key");
    SimPlatform sim;
    const UserStatus status(sim.application, bundle, sim.loop, *Url::parse("https://www.bing.com"));
    EXPECT_EQ(status.causeText(Cause::NotTrusted, "expired"),
              "服务的证书不受信任：已过期（系统时间是否正确？）");
    EXPECT_EQ(status.causeText(Cause::SettingsNotSaved, "/x/Daylume.conf"),
              "无法保存 Daylume 的设置：/x/Daylume.conf");
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QtBundle::loadTranslations();
    EXPECT_EQ(bundle.localizedString("menu_quit"), "Quit Daylume");
    // Every cause has a text in both tables.
    for (const char* locale : {"en_US", "zh_CN"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        QtBundle::loadTranslations();
        for (std::size_t cause = 0; cause < kCauseCount; ++cause)
            for (const char* detail : {"expired", "revoked", "invalid"})
                EXPECT_EQ(status.causeText(Cause(cause), detail).find('_'), std::string::npos)
                    << locale << " " << cause;
    }
}

}  // namespace
}  // namespace daylume::test

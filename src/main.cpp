#include <QApplication>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/linux/command_line.h"
#include "platform/linux/qt_platform.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/unix_signals.h"
#include "shell/app_delegate.h"

namespace {

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && value[0]) return true;
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    using daylume::CommandLine;
    // A reader that goes away must not kill the program through its log.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication::setApplicationName(QStringLiteral("Daylume"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DAYLUME_VERSION));
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = daylume::parseCommandLine(arguments);
    if (command.exitStatus) return *command.exitStatus;

    // Requests for the running Daylume need no display of their own.
    daylume::SingleInstance instance;
    const bool refresh = command.request == CommandLine::Request::Refresh;
    const bool preferences = command.request == CommandLine::Request::Preferences;
    const char* const message = refresh ? "refresh" : preferences ? "preferences" : "activate";
    const char* const handedOver =
        refresh       ? "Daylume is already running; it will refresh the wallpaper now.\n"
        : preferences ? "Daylume is already running; it will show its preferences.\n"
                      : "Daylume is already running; it will look for a new picture.\n";
    if (command.request == CommandLine::Request::Quit) {
        using Outcome = daylume::SingleInstance::QuitOutcome;
        switch (instance.quit(std::chrono::seconds(5))) {
            case Outcome::Ended:
                return 0;
            case Outcome::NotRunning:
                std::fputs("Daylume is not running.\n", stderr);
                return 1;
            case Outcome::StillRunning:
                std::fputs("Daylume was asked to quit but still runs after 5 seconds.\n", stderr);
                return 1;
        }
    }
    if (!hasDisplay()) {
        if (instance.tell(message)) {
            std::fputs(handedOver, stderr);
            return 0;
        }
        std::fputs(
            "Daylume needs a graphical desktop session: neither DISPLAY nor "
            "WAYLAND_DISPLAY is set\n",
            stderr);
        return 1;
    }

    QApplication app(argc, argv);  // before the instance listens: that needs Qt's event loop
    if (!instance.claim(message)) {
        std::fputs(handedOver, stderr);
        return 0;
    }
    QApplication::setDesktopFileName(QStringLiteral("io.github.daylume.Daylume"));
    // Closing a dialog or the task-bar window must not end a tray application.
    QApplication::setQuitOnLastWindowClosed(false);
    daylume::quitOnTerminationSignals();
    QObject::connect(&instance, &daylume::SingleInstance::received, &app,
                     [](const QString& message) {
                         if (message == QLatin1String("quit")) QCoreApplication::quit();
                     });

    daylume::QtPlatform platform(instance);
    daylume::AppDelegate delegate(platform.platform());
    delegate.startedAtLogin = command.atLogin;
    QObject::connect(&app, &QCoreApplication::aboutToQuit,
                     [&delegate] { delegate.applicationWillTerminate(); });
    QMetaObject::invokeMethod(
        &app,
        [&delegate, &platform, preferences] {
            delegate.applicationDidFinishLaunching();
            if (preferences) platform.platform().application.openPreferencesDialog();
        },
        Qt::QueuedConnection);
    const int status = QApplication::exec();
    platform.stop();
    return status;
}

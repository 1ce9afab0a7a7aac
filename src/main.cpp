#include <QApplication>
#include <csignal>

#include "platform/linux/qt_platform.h"
#include "platform/linux/single_instance.h"
#include "platform/linux/unix_signals.h"
#include "shell/app_delegate.h"

int main(int argc, char* argv[]) {
    // A reader that goes away must not kill the program through its log.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Daylume"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.daylume.Daylume"));
    // Closing a dialog or the task-bar window must not end a tray application.
    QApplication::setQuitOnLastWindowClosed(false);

    daylume::SingleInstance instance;
    if (!instance.claim()) return 0;  // the running Daylume counts this launch as an activation
    daylume::quitOnTerminationSignals();

    daylume::QtPlatform platform(instance);
    daylume::AppDelegate delegate(platform.platform());
    QObject::connect(&app, &QCoreApplication::aboutToQuit,
                     [&delegate] { delegate.applicationWillTerminate(); });
    QMetaObject::invokeMethod(
        &app, [&delegate] { delegate.applicationDidFinishLaunching(); }, Qt::QueuedConnection);
    const int status = QApplication::exec();
    platform.stop();
    return status;
}

#include <QApplication>
#include <csignal>

#include "platform/linux/qt_platform.h"
#include "shell/app_delegate.h"

int main(int argc, char* argv[]) {
    // A reader that goes away must not kill the program through its log.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    daylume::QtPlatform platform;
    daylume::AppDelegate delegate(platform.platform());
    return app.exec();
}

#include "platform/linux/desktop/linux_desktop.h"

#include <QGuiApplication>
#include <QScreen>

namespace daylume {

LinuxDesktop::LinuxDesktop(std::unique_ptr<DesktopBackend> backend) : backend_(std::move(backend)) {
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QObject::connect(app, &QGuiApplication::primaryScreenChanged, &watcher_,
                         [this] { updateMainScreen(); });
        QObject::connect(app, &QGuiApplication::screenRemoved, &watcher_,
                         [this] { updateMainScreen(); });
    }
    updateMainScreen();
}

LinuxDesktop::~LinuxDesktop() = default;

void LinuxDesktop::updateMainScreen() {
    std::optional<Screen> screen;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (const QScreen* primary = QGuiApplication::primaryScreen())
            screen = Screen{primary->name().toStdString()};
    std::lock_guard lock(screenMutex_);
    mainScreen_ = std::move(screen);
}

std::optional<Screen> LinuxDesktop::mainScreen() const {
    std::lock_guard lock(screenMutex_);
    return mainScreen_;
}

void LinuxDesktop::setDesktopPicture(const std::filesystem::path& picture, const Screen& screen) {
    std::lock_guard lock(backendMutex_);
    backend_->setPicture(picture, screen);
}

}  // namespace daylume

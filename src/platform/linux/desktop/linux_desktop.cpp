#include "platform/linux/desktop/linux_desktop.h"

#include <QGuiApplication>
#include <QScreen>

namespace daylume {

LinuxDesktop::LinuxDesktop(std::unique_ptr<DesktopBackend> backend) : backend_(std::move(backend)) {
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QObject::connect(app, &QGuiApplication::primaryScreenChanged, &watcher_,
                         [this] { updateScreens(); });
        QObject::connect(app, &QGuiApplication::screenRemoved, &watcher_,
                         [this] { updateScreens(); });
        QObject::connect(app, &QGuiApplication::screenAdded, &watcher_, [this](QScreen* added) {
            QObject::connect(added, &QScreen::geometryChanged, &watcher_,
                             [this] { updateScreens(); });
            updateScreens();
        });
        for (QScreen* screen : QGuiApplication::screens())
            QObject::connect(screen, &QScreen::geometryChanged, &watcher_,
                             [this] { updateScreens(); });
    }
    updateScreens();
}

LinuxDesktop::~LinuxDesktop() = default;

void LinuxDesktop::updateScreens() {
    std::optional<Screen> screen;
    PixelSize largest;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* primary = QGuiApplication::primaryScreen())
            screen = Screen{primary->name().toStdString()};
        // In device pixels: a 4K screen at 200 % is 1920×1080 to Qt, and 3840×2160 to a picture.
        for (const QScreen* each : QGuiApplication::screens()) {
            const QSize size = each->geometry().size() * each->devicePixelRatio();
            if (size.width() * size.height() > largest.width * largest.height)
                largest = {size.width(), size.height()};
        }
    }
    std::lock_guard lock(screenMutex_);
    mainScreen_ = std::move(screen);
    largestScreen_ = largest;
}

PixelSize LinuxDesktop::largestScreen() const {
    std::lock_guard lock(screenMutex_);
    return largestScreen_;
}

LockScreen LinuxDesktop::lockScreen() const {
    return backend_->lockScreen();
}

void LinuxDesktop::setLockScreenPicture(const std::filesystem::path& picture) {
    std::lock_guard lock(backendMutex_);
    backend_->setLockScreenPicture(picture);
}

void LinuxDesktop::restoreLockScreen() {
    std::lock_guard lock(backendMutex_);
    backend_->restoreLockScreen();
}

std::optional<std::filesystem::path> LinuxDesktop::lockScreenPicture() const {
    std::lock_guard lock(backendMutex_);
    return backend_->lockScreenPicture();
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

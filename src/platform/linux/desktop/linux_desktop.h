#pragma once

#include <QObject>
#include <memory>
#include <mutex>

#include "platform/desktop.h"
#include "platform/linux/desktop/desktop_backends.h"

namespace daylume {

// The desktop of this session: the primary screen as Qt sees it, and the back end that suits
// the running desktop environment. Create on the main thread; use from any thread.
class LinuxDesktop final : public Desktop {
public:
    explicit LinuxDesktop(std::unique_ptr<DesktopBackend> backend);
    ~LinuxDesktop() override;

    std::optional<Screen> mainScreen() const override;
    void setDesktopPicture(const std::filesystem::path& picture, const Screen& screen) override;
    PixelSize largestScreen() const override;
    LockScreen lockScreen() const override;
    void setLockScreenPicture(const std::filesystem::path& picture) override;
    void restoreLockScreen() override;
    std::optional<std::filesystem::path> lockScreenPicture() const override;

private:
    void updateScreens();

    std::unique_ptr<DesktopBackend> backend_;
    mutable std::mutex backendMutex_;
    // Screens belong to the main thread; installs read this copy instead.
    mutable std::mutex screenMutex_;
    std::optional<Screen> mainScreen_;
    PixelSize largestScreen_;
    QObject watcher_;
};

}  // namespace daylume

#pragma once

#include <QLabel>
#include <QWidget>
#include <functional>

#include "platform/application.h"

class QHBoxLayout;

namespace daylume {

// The window that gives the application its task-bar entry while the policy is Regular: today's
// picture, what it shows, and the state of the work, with the buttons it is given.
class ViewController final : public QWidget {
public:
    ViewController();
    void show(const PictureStatus& status);
    void setActions(std::vector<MenuEntry> actions);
    // Called when the user closes the window, which removes the task-bar entry.
    std::function<void()> onClose;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fill(const PictureStatus& status);

    PictureStatus status_;
    bool filled_ = false;
    QLabel thumbnail_, title_, credit_, setAt_, activity_;
    QHBoxLayout* buttons_;
    std::optional<std::filesystem::path> picture_;  // the one the thumbnail shows
};

class QtApplication final : public Application {
public:
    explicit QtApplication(ActivationPolicy initialPolicy);
    // The application's icon, for its windows and dialogs.
    static QIcon icon();

    void terminate() override;
    ActivationPolicy activationPolicy() const override { return policy_; }
    void setActivationPolicy(ActivationPolicy policy) override;
    int runModal(const Alert& alert) override;
    void openURL(const Url& url) override;
    void openFolder(const std::filesystem::path& folder) override;
    void showStatus(const PictureStatus& status) override { viewController_.show(status); }
    void setStatusActions(std::vector<MenuEntry> actions) override;
    void postNotification(const Notification& notification) override;
    std::unique_ptr<StatusItem> makeStatusItem() override;

    // The window, for tests.
    ViewController& window() { return viewController_; }

private:
    // Hands `address` to the desktop's opener; tells the user when there is none.
    void open(const QString& address);

    ActivationPolicy policy_ = ActivationPolicy::Accessory;
    ViewController viewController_;
    std::unique_ptr<QObject> quitFilter_;
};

}  // namespace daylume

#pragma once

#include <QObject>
#include <memory>

#include "platform/application.h"
#include "platform/linux/preferences_window.h"
#include "platform/linux/task_bar_window.h"

namespace daylume {

// The application as Qt Widgets show it: the task-bar window, the preferences dialog, alerts,
// file dialogs, the opener and notifications.
class QtApplication final : public Application {
public:
    explicit QtApplication(ActivationPolicy initialPolicy);

    void terminate() override;
    ActivationPolicy activationPolicy() const override { return policy_; }
    void setActivationPolicy(ActivationPolicy policy) override;
    int runModal(const Alert& alert) override;
    void openURL(const Url& url) override;
    void openFolder(const std::filesystem::path& folder) override;
    void showStatus(const PictureStatus& status) override { viewController_.show(status); }
    void setStatusActions(std::vector<MenuEntry> actions) override {
        viewController_.setActions(std::move(actions));
    }
    void presentWindow() override;
    void showDays(const std::vector<DayPicture>& days) override { viewController_.showDays(days); }
    void setWindowActions(WindowActions actions) override { windowActions_ = std::move(actions); }
    void showPreferences(const PreferencesStatus& status) override;
    void setPreferenceActions(PreferenceActions actions) override {
        preferenceActions_ = std::move(actions);
    }
    void openPreferencesDialog() override { preferencesDialog_.open(); }
    void saveCopy(const std::filesystem::path& picture, const std::string& name) override;
    void postNotification(const Notification& notification) override;
    std::unique_ptr<StatusItem> makeStatusItem() override;

    // The window and the dialog, for tests.
    ViewController& window() { return viewController_; }
    PreferencesDialog& preferencesDialog() { return preferencesDialog_; }

private:
    ActivationPolicy policy_ = ActivationPolicy::Accessory;
    // Before the widgets, which call the actions through it.
    PreferenceActions preferenceActions_;
    WindowActions windowActions_;
    ViewController viewController_;
    PreferencesDialog preferencesDialog_;
    std::unique_ptr<QObject> quitFilter_;
};

}  // namespace daylume

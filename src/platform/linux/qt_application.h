#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>

#include "platform/application.h"

class QHBoxLayout;

namespace daylume {

// The choices and the Save a Copy… button, in the task-bar window and in the preferences dialog.
class PreferencesPanel final : public QGroupBox {
public:
    explicit PreferencesPanel(const PreferenceActions& actions);
    void show(const PreferencesStatus& status);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fill();

    PreferencesStatus status_;
    QCheckBox ultraHD_, lockScreen_, startAtLogin_;
    QLabel ultraHDNote_, lockScreenNote_;
    QPushButton saveCopy_;
};

// The window that gives the application its task-bar entry while the policy is Regular: today's
// picture, what it shows, and the state of the work, with the buttons it is given.
class ViewController final : public QWidget {
public:
    explicit ViewController(const PreferenceActions& actions);
    void show(const PictureStatus& status);
    PreferencesPanel& preferences() { return preferences_; }
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
    PreferencesPanel preferences_;
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
    void showPreferences(const PreferencesStatus& status) override;
    void setPreferenceActions(PreferenceActions actions) override {
        preferenceActions_ = std::move(actions);
    }
    void openPreferencesDialog() override;
    void saveCopy(const std::filesystem::path& picture, const std::string& name) override;
    void postNotification(const Notification& notification) override;
    std::unique_ptr<StatusItem> makeStatusItem() override;

    // The window and the dialog, for tests.
    ViewController& window() { return viewController_; }
    QDialog& preferencesDialog() { return preferencesDialog_; }

private:
    // Hands `address` to the desktop's opener; tells the user when there is none.
    void open(const QString& address);

    ActivationPolicy policy_ = ActivationPolicy::Accessory;
    // Before the widgets, which call the actions through it.
    PreferenceActions preferenceActions_;
    ViewController viewController_;
    QDialog preferencesDialog_;
    PreferencesPanel* dialogPanel_;
    std::unique_ptr<QObject> quitFilter_;
};

// Copies `from` to `to` through a temporary file that takes the name only once it is whole; an
// existing file at `to` is replaced. The reason on failure.
std::optional<QString> writeWholeCopy(const QString& from, const QString& to);

}  // namespace daylume

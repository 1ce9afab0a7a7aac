#pragma once

#include <QGridLayout>
#include <QLabel>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "platform/application.h"
#include "platform/linux/preferences_window.h"

namespace daylume {

// The window that gives the application its task-bar entry while the policy is Regular: today's
// picture, what it shows, and the state of the work, with the buttons it is given and the
// preferences.
class ViewController final : public QWidget {
public:
    explicit ViewController(const PreferenceActions& actions);
    void show(const PictureStatus& status);
    PreferencesPanel& preferences() { return preferences_; }
    void setActions(std::vector<MenuEntry> actions);
    // Shows it minimized from its first appearance: the task-bar entry alone, the window not
    // flashing up first.
    void appearMinimized();
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
    QGridLayout* buttons_;  // two a row
    PreferencesPanel preferences_;
    std::optional<std::filesystem::path> picture_;  // the one the thumbnail shows
};

}  // namespace daylume

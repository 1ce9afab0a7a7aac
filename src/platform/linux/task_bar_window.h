#pragma once

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "platform/application.h"
#include "platform/linux/preferences_window.h"

namespace daylume {

// The window that gives the application its task-bar entry while the policy is Regular: the
// picture on the desktop, what it shows, and the state of the work; the last days' pictures, one
// of which the user may look at and put on the desktop; the buttons it is given and the
// preferences.
class ViewController final : public QWidget {
public:
    // `actions` must outlive the window: they are read when the user acts.
    ViewController(const PreferenceActions& preferenceActions, const WindowActions& actions);
    void show(const PictureStatus& status);
    void showDays(const std::vector<DayPicture>& days);
    PreferencesPanel& preferences() { return preferences_; }
    void setActions(std::vector<MenuEntry> actions);
    // Shows it minimized from its first appearance: the task-bar entry alone, the window not
    // flashing up first.
    void appearMinimized();
    // Called when the user closes the window, which removes the task-bar entry.
    std::function<void()> onClose;
    // The day looked at, if any; for tests.
    void lookAt(std::optional<std::size_t> day);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fill();
    // Shows `picture` in the large thumbnail, decoded once for each file.
    void showPicture(const std::optional<std::filesystem::path>& picture);

    const WindowActions& actions_;
    PictureStatus status_;
    std::vector<DayPicture> days_;
    std::optional<std::size_t> lookedAt_;  // the day shown in place of the desktop picture
    bool filled_ = false;
    QLabel thumbnail_, title_, credit_, setAt_, activity_;
    std::array<QToolButton*, 8> dayButtons_{};
    std::array<std::optional<std::filesystem::path>, 8> dayIcons_;  // the files their icons show
    QPushButton setAsDesktop_, learnMore_;
    QGridLayout* buttons_;  // two a row
    PreferencesPanel preferences_;
    std::optional<std::filesystem::path> picture_;  // the one the thumbnail shows
};

}  // namespace daylume

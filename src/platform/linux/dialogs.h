#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/application.h"

namespace daylume {

// The width the windows' texts wrap at, that of the task-bar window's thumbnail.
inline constexpr int kContentWidth = 320;

inline QString qString(const std::string& text) {
    return QString::fromStdString(text);
}
// The text for `key` in the user's language.
QString localized(const char* key);

// The application's icon, for its windows and dialogs.
QIcon applicationIcon();

// Before it is shown, a dialog goes to the middle of the screen, title bar included.
void placeInSight(QWidget& dialog);
// Shows the dialog in sight and waits until it is closed. It blocks only itself: the tray's menu
// and Daylume's windows answer while it is open.
int execInSight(QDialog& dialog);

// Shows the alert and waits until it is closed: kAlertFirstButtonReturn for the first button,
// one more for each following one.
int runAlert(const Alert& alert);
// A warning the user can only acknowledge, its detail selectable to copy.
void showWarning(const QString& text, const QString& detail);

// Hands `address` to the desktop's opener; tells the user when there is none.
void openWithDesktop(const QString& address);

// Asks where to keep a copy of `picture`, proposing `name` in the user's pictures folder, and
// writes it there whole; tells the user when that failed.
void saveCopyWithDialog(const std::filesystem::path& picture, const std::string& name);
// Copies `from` to `to` through a temporary file that takes the name only once it is whole; an
// existing file at `to` is replaced. The reason on failure.
std::optional<QString> writeWholeCopy(const QString& from, const QString& to);

}  // namespace daylume

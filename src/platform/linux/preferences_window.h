#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "platform/application.h"

namespace daylume {

// The choices and the Save a Copy… button, in the task-bar window and in the preferences dialog.
class PreferencesPanel final : public QGroupBox {
public:
    // `actions` must outlive the panel: it is read when the user acts.
    explicit PreferencesPanel(const PreferenceActions& actions);
    // Keeps the status, and shows it where the panel is seen.
    void show(const PreferencesStatus& status);
    // Shows the status kept, seen or not.
    void fill();

protected:
    void showEvent(QShowEvent* event) override;

private:
    PreferencesStatus status_;
    QLabel regionLabel_;
    QComboBox region_;
    QCheckBox ultraHD_, lockScreen_, startAtLogin_, notify_;
    QLabel ultraHDNote_, lockScreenNote_, startAtLoginNote_;
    QPushButton saveCopy_;
};

// "Daylume Preferences": the panel on its own, for the desktop entry's action and the command line.
class PreferencesDialog final : public QDialog {
public:
    explicit PreferencesDialog(const PreferenceActions& actions);
    PreferencesPanel& panel() { return panel_; }
    // Shows it in front, named in the language loaded now.
    void open();

private:
    PreferencesPanel panel_;
};

}  // namespace daylume

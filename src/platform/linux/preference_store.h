#pragma once

#include <QString>
#include <QVariant>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/preferences.h"

namespace daylume {

// Whether the session starts Daylume, by the XDG autostart rules: the entry named like Daylume's
// in the user's folder wins over those in the system's folders, and one marked Hidden (or, for
// GNOME, X-GNOME-Autostart-enabled=false) starts nothing.
class Autostart {
public:
    // `program`: what an entry of the user's own starts.
    Autostart(std::filesystem::path userFolder, std::vector<std::filesystem::path> systemFolders,
              std::string program);
    // The folders of $XDG_CONFIG_HOME and $XDG_CONFIG_DIRS, and this program.
    static Autostart forThisSession();

    bool enabled() const;
    // Writes or removes the user's entry, whichever makes the rules give `on`; throws Failure.
    void setEnabled(bool on) const;

    static constexpr const char* kEntryName = "io.github.daylume.Daylume.desktop";

private:
    std::filesystem::path userEntry() const { return userFolder_ / kEntryName; }

    std::filesystem::path userFolder_;
    std::vector<std::filesystem::path> systemFolders_;
    std::string program_;
};

// The choices in an INI file (~/.config/Daylume/Daylume.conf), and starting at login in the
// autostart entries.
class QtPreferenceStore final : public PreferenceStore {
public:
    QtPreferenceStore(QString settingsFile, Autostart autostart);
    static QString userSettingsFile();

    Preferences load() const override;
    void save(Preference preference, bool on) override;
    void saveRegion(const std::string& market) override;
    bool keepsStartAtLogin() const override;

private:
    // Writes one key of the settings file; throws Failure.
    void write(const char* key, const QVariant& value);

    QString settingsFile_;
    Autostart autostart_;
};

}  // namespace daylume

#pragma once

#include <string>

namespace daylume {

// The user's choices.
struct Preferences {
    bool ultraHD = false;       // Ultra HD pictures on screens larger than 1920×1080
    bool lockScreen = false;    // the picture on the lock screen too
    bool startAtLogin = false;  // the session starts Daylume
    bool notify = true;         // a notification for each new picture
    std::string region;         // the market whose pictures are wanted; empty: any market
};
// The choices that are on or off.
enum class Preference { UltraHD, LockScreen, StartAtLogin, Notify };

// The field of `preferences` that holds `preference`.
inline bool& choice(Preferences& preferences, Preference preference) {
    switch (preference) {
        case Preference::UltraHD:
            return preferences.ultraHD;
        case Preference::LockScreen:
            return preferences.lockScreen;
        case Preference::StartAtLogin:
            return preferences.startAtLogin;
        case Preference::Notify:
            break;
    }
    return preferences.notify;
}

// Where the choices are kept. Main thread only.
class PreferenceStore {
public:
    virtual ~PreferenceStore() = default;
    // What is kept; the defaults for whatever cannot be read.
    virtual Preferences load() const = 0;
    // Keeps one choice; throw Failure when it could not be kept.
    virtual void save(Preference preference, bool on) = 0;
    virtual void saveRegion(const std::string& market) = 0;
    // Whether starting at login is Daylume's to choose here (a sandbox cannot).
    virtual bool keepsStartAtLogin() const { return true; }
};

}  // namespace daylume

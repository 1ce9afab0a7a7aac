#include "platform/linux/preference_store.h"

#include <glib.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/error.h"
#include "platform/linux/desktop/desktop_session.h"
#include "platform/markets.h"

namespace daylume {
namespace fs = std::filesystem;

namespace {

constexpr const char* kGroup = "Desktop Entry";

// The choices kept in the settings file, by their keys there.
constexpr std::pair<Preference, const char*> kKeys[] = {{Preference::UltraHD, "UltraHD"},
                                                        {Preference::LockScreen, "LockScreen"},
                                                        {Preference::Notify, "Notify"}};
constexpr const char* kRegionKey = "Region";
constexpr const char* kAnyRegion = "Any";

using KeyFile = std::unique_ptr<GKeyFile, decltype(&g_key_file_free)>;

KeyFile newKeyFile() {
    return {g_key_file_new(), &g_key_file_free};
}

// A boolean key that is true only when written so; absent or malformed, it is false.
bool isTrue(GKeyFile* file, const char* key) {
    GError* error = nullptr;
    const gboolean value = g_key_file_get_boolean(file, kGroup, key, &error);
    if (error) g_error_free(error);
    return value;
}

// Whether the entry at `path` starts its program; nothing when there is no file there.
std::optional<bool> starts(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return std::nullopt;
    KeyFile file = newKeyFile();
    // An entry the session cannot read starts nothing.
    if (!g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_NONE, nullptr))
        return false;
    if (isTrue(file.get(), "Hidden")) return false;
    return !g_key_file_has_key(file.get(), kGroup, "X-GNOME-Autostart-enabled", nullptr) ||
           isTrue(file.get(), "X-GNOME-Autostart-enabled");
}

// An Exec value that runs `program` whatever its path holds: quoted as the desktop entry
// specification asks where a path has more than plain characters.
std::string execQuoted(const std::string& program) {
    if (program.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/"
                                  "._+-") == std::string::npos)
        return program;
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

[[noreturn]] void failWrite(const QString& file, const QString& why) {
    throw Failure(makeError(ErrorDomain::Settings, SettingsFailure::NotSaved,
                            "could not write " + file.toStdString() + ": " + why.toStdString(),
                            Cause::SettingsNotSaved, file.toStdString()));
}

// Why the settings file cannot be read as one, if it cannot: QSettings would read any file whole,
// and keep what it read for the rest of the run.
std::optional<QString> unreadable(const QString& file) {
    constexpr qint64 kMaxBytes = 1 << 20;
    const QFileInfo info(file);
    if (!info.exists()) return std::nullopt;
    if (info.isDir()) return QStringLiteral("it is a folder");
    if (info.size() > kMaxBytes) return QStringLiteral("it is larger than 1 MiB");
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("it cannot be read (%1)").arg(in.errorString());
    const QByteArray bytes = in.read(kMaxBytes);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (bytes.contains('\0') || utf8.hasError()) return QStringLiteral("it is not a text file");
    return std::nullopt;
}

}  // namespace

Autostart::Autostart(fs::path userFolder, std::vector<fs::path> systemFolders, std::string program)
    : userFolder_(std::move(userFolder)),
      systemFolders_(std::move(systemFolders)),
      program_(std::move(program)) {}

Autostart Autostart::forThisSession() {
    auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return value && value[0] ? std::string(value) : std::string();
    };
    // Relative paths are invalid by the base-directory specification and are ignored.
    fs::path home = variable("XDG_CONFIG_HOME");
    if (!home.is_absolute()) home = fs::path(variable("HOME")) / ".config";
    std::vector<fs::path> system;
    const QStringList dirs = QString::fromStdString(variable("XDG_CONFIG_DIRS"))
                                 .split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& dir : dirs)
        if (fs::path path = dir.toStdString(); path.is_absolute())
            system.push_back(path / "autostart");
    if (system.empty()) system.emplace_back("/etc/xdg/autostart");
    return Autostart(home / "autostart", std::move(system),
                     QCoreApplication::applicationFilePath().toStdString());
}

bool Autostart::enabled() const {
    if (const std::optional<bool> user = starts(userEntry())) return *user;
    for (const fs::path& folder : systemFolders_)
        if (const std::optional<bool> system = starts(folder / kEntryName)) return *system;
    return false;
}

void Autostart::setEnabled(bool on) const {
    bool systemStarts = false;
    for (const fs::path& folder : systemFolders_)
        if (const std::optional<bool> system = starts(folder / kEntryName)) {
            systemStarts = *system;
            break;
        }
    const QString path = QString::fromStdString(userEntry().string());
    // Where the system's entry says it already, the user's own has nothing to add.
    if (on == systemStarts) {
        std::error_code ec;
        fs::remove(userEntry(), ec);
        if (ec) failWrite(path, QString::fromStdString(ec.message()));
        return;
    }
    KeyFile file = newKeyFile();
    auto set = [&](const char* key, const std::string& value) {
        g_key_file_set_string(file.get(), kGroup, key, value.c_str());
    };
    set("Type", "Application");
    set("Name", "Daylume");
    set("Comment", "Keep the desktop picture set to the Bing image of the day");
    set("Exec", execQuoted(program_) + " --autostart");
    set("TryExec", program_);
    set("Icon", "io.github.daylume.Daylume");
    set("Terminal", "false");
    set("NoDisplay", "true");
    // Turns the system's entry off for this user.
    if (!on) set("Hidden", "true");
    gsize length = 0;
    std::unique_ptr<gchar, decltype(&g_free)> text{g_key_file_to_data(file.get(), &length, nullptr),
                                                   &g_free};
    if (!QDir().mkpath(QString::fromStdString(userFolder_.string())))
        failWrite(path, QStringLiteral("the folder cannot be made"));
    // Whole or not at all: a session must never read half an entry.
    QSaveFile entry(path);
    if (!entry.open(QIODevice::WriteOnly) ||
        entry.write(text.get(), qint64(length)) != qint64(length) || !entry.commit())
        failWrite(path, entry.errorString());
}

QtPreferenceStore::QtPreferenceStore(QString settingsFile, Autostart autostart)
    : settingsFile_(std::move(settingsFile)), autostart_(std::move(autostart)) {}

QString QtPreferenceStore::userSettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Daylume/Daylume.conf");
}

bool QtPreferenceStore::keepsStartAtLogin() const {
    // The session reads its autostart entries from the host's folders, not the sandbox's.
    return !insideFlatpak();
}

Preferences QtPreferenceStore::load() const {
    Preferences preferences;
    preferences.startAtLogin = keepsStartAtLogin() && autostart_.enabled();
    // Not the log's: standard error, where a person who edited the file looks.
    if (const std::optional<QString> why = unreadable(settingsFile_)) {
        std::fprintf(stderr, "daylume: %s: %s; the defaults are used\n", qPrintable(settingsFile_),
                     qPrintable(*why));
        return preferences;
    }
    const QSettings settings(settingsFile_, QSettings::IniFormat);
    for (const auto& [preference, key] : kKeys) {
        const QVariant value = settings.value(QLatin1String(key));
        if (!value.isValid()) continue;
        const QString text = value.toString().toLower();
        if (text != QLatin1String("true") && text != QLatin1String("false")) {
            std::fprintf(stderr, "daylume: %s: %s=%s is neither true nor false; it is ignored\n",
                         qPrintable(settingsFile_), key, qPrintable(value.toString()));
            continue;
        }
        choice(preferences, preference) = text == QLatin1String("true");
    }
    const QString region = settings.value(QLatin1String(kRegionKey)).toString();
    const auto market = std::ranges::find_if(marketCodes, [&](std::string_view code) {
        return region.compare(QLatin1String(code), Qt::CaseInsensitive) == 0;
    });
    if (market != marketCodes.end())
        preferences.region = *market;
    else if (!region.isEmpty() && region.compare(QLatin1String(kAnyRegion), Qt::CaseInsensitive))
        std::fprintf(stderr, "daylume: %s: %s=%s is no region Daylume knows; any region is used\n",
                     qPrintable(settingsFile_), kRegionKey, qPrintable(region));
    return preferences;
}

void QtPreferenceStore::save(Preference preference, bool on) {
    if (preference == Preference::StartAtLogin) return autostart_.setEnabled(on);
    for (const auto& [each, key] : kKeys)
        if (each == preference) write(key, on);
}

void QtPreferenceStore::saveRegion(const std::string& market) {
    write(kRegionKey, market.empty() ? QLatin1String(kAnyRegion) : QString::fromStdString(market));
}

void QtPreferenceStore::write(const char* key, const QVariant& value) {
    if (const std::optional<QString> why = unreadable(settingsFile_))
        failWrite(settingsFile_, *why);
    QSettings settings(settingsFile_, QSettings::IniFormat);
    settings.setValue(QLatin1String(key), value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        failWrite(settingsFile_, QStringLiteral("it cannot be written"));
}

}  // namespace daylume

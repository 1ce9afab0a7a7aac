#include "platform/linux/desktop/desktop_backends.h"

#include <gio/gio.h>

#include <QProcess>
#include <QStandardPaths>

#include "platform/error.h"
#include "platform/file_manager.h"

namespace daylume {
namespace {

constexpr int kToolTimeoutMs = 10'000;

// Owns one GLib reference.
template <typename T, void (*Unref)(T*)>
struct GRef {
    T* p;
    ~GRef() {
        if (p) Unref(p);
    }
};

void unrefObject(GSettings* settings) {
    g_object_unref(settings);
}

class UnsupportedDesktop final : public DesktopBackend {
public:
    explicit UnsupportedDesktop(DesktopSession session) : session_(session) {}
    void setPicture(const std::filesystem::path&, const Screen&) override {
        failDesktop(displayName(session_), "no supported way to set the desktop picture here",
                    Cause::NoDesktop, std::string(displayName(session_)));
    }

private:
    DesktopSession session_;
};

}  // namespace

std::unique_ptr<DesktopBackend> makeDesktopBackend(DesktopSession session) {
    switch (session) {
        // Their lock screens show the desktop picture (GNOME Shell's, blurred; its screensaver
        // schema's picture-uri is read by nothing).
        case DesktopSession::Gnome:
            return std::make_unique<GSettingsBackground>(
                "GNOME",
                GSettingsKeys{"org.gnome.desktop.background", {"picture-uri", "picture-uri-dark"}},
                true, LockScreen::DesktopPicture);
        case DesktopSession::Cinnamon:
            return std::make_unique<GSettingsBackground>(
                "Cinnamon", GSettingsKeys{"org.cinnamon.desktop.background", {"picture-uri"}}, true,
                LockScreen::DesktopPicture);
        case DesktopSession::Mate:
            return std::make_unique<GSettingsBackground>(
                "MATE", GSettingsKeys{"org.mate.background", {"picture-filename"}}, false,
                LockScreen::DesktopPicture);
        case DesktopSession::Kde:
            return std::make_unique<PlasmaBackground>(FileManager::userStateHome() / "Daylume" /
                                                      "lock-screen-before.conf");
        case DesktopSession::Xfce:
            return std::make_unique<XfconfBackground>();
        case DesktopSession::Lxqt:
            return std::make_unique<LxqtBackground>();
        case DesktopSession::Sway:
            return std::make_unique<SwayBackground>();
        case DesktopSession::Hyprland:
            return std::make_unique<HyprlandBackground>();
        case DesktopSession::Portal:
            return std::make_unique<PortalBackground>();
        case DesktopSession::X11:
            return std::make_unique<X11RootBackground>();
        case DesktopSession::Unknown:
            break;
    }
    return std::make_unique<UnsupportedDesktop>(session);
}

void failDesktop(std::string_view desktop, std::string message, Cause cause, std::string detail) {
    throw Failure(makeError(ErrorDomain::Desktop, DesktopFailure::NotSet,
                            std::string(desktop) + ": " + std::move(message), cause,
                            std::move(detail)));
}

GSettingsBackground::GSettingsBackground(std::string desktop, GSettingsKeys background, bool asUri,
                                         LockScreen lockScreen)
    : desktop_(std::move(desktop)),
      background_(std::move(background)),
      asUri_(asUri),
      lockScreen_(lockScreen) {}

void GSettingsBackground::setPicture(const std::filesystem::path& picture, const Screen&) {
    set(background_, picture);
}

void GSettingsBackground::set(const GSettingsKeys& keys, const std::filesystem::path& picture) {
    const std::string& schemaId = keys.schema;
    // Failures name the schema: a missing one is the desktop's package to install.
    auto fail = [&](std::string message, Cause cause) {
        failDesktop(desktop_, std::move(message), cause, schemaId);
    };
    // Opening a schema that is not installed aborts the process, so look it up first.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GRef<GSettingsSchema, g_settings_schema_unref> schema{
        source ? g_settings_schema_source_lookup(source, schemaId.c_str(), TRUE) : nullptr};
    if (!schema.p)
        fail("GSettings schema " + schemaId + " is not installed", Cause::DesktopToolMissing);
    if (!g_settings_schema_has_key(schema.p, keys.keys.front().c_str()))
        fail("GSettings schema " + schemaId + " has no key " + keys.keys.front(),
             Cause::DesktopToolFailed);

    std::string value = picture.string();
    if (asUri_) {
        GError* error = nullptr;
        gchar* uri = g_filename_to_uri(picture.c_str(), nullptr, &error);
        if (!uri) {
            std::string message = error->message;
            g_error_free(error);
            failDesktop(desktop_, message, Cause::FileError, {});
        }
        value = uri;
        g_free(uri);
    }
    GRef<GSettings, unrefObject> settings{g_settings_new_full(schema.p, nullptr, nullptr)};
    for (const std::string& key : keys.keys) {
        if (!g_settings_schema_has_key(schema.p, key.c_str())) continue;
        if (!g_settings_set_string(settings.p, key.c_str(), value.c_str()))
            fail(std::string("GSettings key ")
                     .append(schemaId)
                     .append(" ")
                     .append(key)
                     .append(" is not writable"),
                 Cause::DesktopToolFailed);
    }
    // A desktop left to show no picture stays a plain colour whatever picture it names: it gets
    // the mode that fills the screen, while a mode the user chose stays.
    if (g_settings_schema_has_key(schema.p, "picture-options")) {
        gchar* mode = g_settings_get_string(settings.p, "picture-options");
        if (std::string_view(mode) == "none")
            g_settings_set_string(settings.p, "picture-options", "zoom");
        g_free(mode);
    }
    g_settings_sync();
}

void X11RootBackground::setPicture(const std::filesystem::path& picture, const Screen&) {
    if (!QStandardPaths::findExecutable("feh").isEmpty()) {
        runDesktopTool("X11", "feh", {"--bg-fill", picture.string()});
        return;
    }
    if (!QStandardPaths::findExecutable("xwallpaper").isEmpty()) {
        runDesktopTool("X11", "xwallpaper", {"--zoom", picture.string()});
        return;
    }
    // feh is the one to suggest: the first choice, and packaged everywhere.
    failDesktop("X11", "neither feh nor xwallpaper is installed", Cause::DesktopToolMissing, "feh");
}

void SwayBackground::setPicture(const std::filesystem::path& picture, const Screen& screen) {
    // swaybg runs per output; "*" covers them all when Qt names no primary screen.
    runDesktopTool(
        "sway", "swaymsg",
        {"output", screen.name.empty() ? "*" : screen.name, "bg", picture.string(), "fill"});
}

void HyprlandBackground::setPicture(const std::filesystem::path& picture, const Screen& screen) {
    // hyprpaper shows only pictures it has loaded; an empty monitor name means every monitor.
    runDesktopTool("Hyprland", "hyprctl", {"hyprpaper", "preload", picture.string()});
    runDesktopTool("Hyprland", "hyprctl",
                   {"hyprpaper", "wallpaper", screen.name + "," + picture.string()});
}

std::string runDesktopTool(std::string_view desktop, const std::string& program,
                           const std::vector<std::string>& arguments) {
    QStringList args;
    for (const std::string& argument : arguments) args << QString::fromStdString(argument);
    auto fail = [&](std::string message, Cause cause) {
        failDesktop(desktop, std::move(message), cause, program);
    };
    // QProcess's own message for a missing program is vague; name it.
    if (QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty())
        fail(program + " is not installed", Cause::DesktopToolMissing);
    QProcess process;  // its standard output is read, not passed on to the log's
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QString::fromStdString(program), args);
    if (!process.waitForStarted(kToolTimeoutMs))
        fail(program + " could not be started: " + process.errorString().toStdString(),
             Cause::DesktopToolFailed);
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        fail(program + " did not finish within 10 s", Cause::DesktopToolFailed);
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString stderrText = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        fail(program + " failed with exit status " + std::to_string(process.exitCode()) +
                 (stderrText.isEmpty() ? "" : ": " + stderrText.toStdString()),
             Cause::DesktopToolFailed);
    }
    return process.readAllStandardOutput().toStdString();
}

}  // namespace daylume

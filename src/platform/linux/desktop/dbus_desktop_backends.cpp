// The back ends that talk to the desktop over the session bus: KDE Plasma, XFCE's xfconf, LXQt's
// pcmanfm-qt and the desktop portal.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>
#include <QUrl>
#include <QVariantMap>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "platform/linux/desktop/desktop_backends.h"

namespace daylume {
namespace {

constexpr int kCallTimeoutMs = 10'000;

// Whom a back end talks to: the desktop its failures name, and the service they blame (their
// detail).
struct Peer {
    std::string_view desktop;
    std::string_view service;
};

[[noreturn]] void fail(const Peer& peer, std::string message) {
    failDesktop(peer.desktop, std::move(message), Cause::DesktopToolFailed,
                std::string(peer.service));
}

QDBusConnection sessionBus(const Peer& peer) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        fail(peer, "no D-Bus session bus: " + bus.lastError().message().toStdString());
    return bus;
}

[[noreturn]] void failCall(const Peer& peer, const QString& method, const QDBusMessage& reply) {
    fail(peer, method.toStdString() + " failed: " + reply.errorName().toStdString() + ": " +
                   reply.errorMessage().toStdString());
}

// Calls a method and returns the reply's arguments; throws on a D-Bus error or no answer.
QList<QVariant> call(const Peer& peer, const QDBusConnection& bus, const QDBusMessage& message) {
    const QDBusMessage reply = bus.call(message, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) failCall(peer, message.member(), reply);
    return reply.arguments();
}

QString fileUri(const std::filesystem::path& picture) {
    return QUrl::fromLocalFile(QFile::decodeName(picture.c_str())).toString(QUrl::FullyEncoded);
}

// Waits, up to the time limit of a call, until `name` is on the bus or gone from it.
bool waitForName(QDBusConnectionInterface* names, const QString& name, bool owned) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCallTimeoutMs);
    while (names->isServiceRegistered(name).value() != owned) {
        if (std::chrono::steady_clock::now() > end) return false;
        QThread::msleep(50);
    }
    return true;
}

// A JavaScript string literal that holds `text` whatever it contains: everything but plain
// letters, digits and a few harmless marks is written as a \u escape.
QString javaScriptString(const QString& text) {
    static const QString plain = QStringLiteral(" /._:%~+-,=@#&?!()[]");
    QString literal = QStringLiteral("\"");
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if ((unit >= 'a' && unit <= 'z') || (unit >= 'A' && unit <= 'Z') ||
            (unit >= '0' && unit <= '9') || plain.contains(c))
            literal += c;
        else
            literal += QStringLiteral("\\u%1").arg(unsigned(unit), 4, 16, QLatin1Char('0'));
    }
    return literal + QLatin1Char('"');
}

}  // namespace

// ---- KDE Plasma

void PlasmaBackground::setPicture(const std::filesystem::path& picture, const Screen&) {
    constexpr Peer plasma{"KDE Plasma", "plasmashell"};
    // Every desktop (one per screen, and per activity) gets the image plug-in and the picture;
    // one left on another plug-in, such as a slide show, would not show it.
    const QString script = QStringLiteral(
                               "var picture = %1;\n"
                               "var all = desktops();\n"
                               "for (var i = 0; i < all.length; i++) {\n"
                               "    var d = all[i];\n"
                               "    d.wallpaperPlugin = \"org.kde.image\";\n"
                               "    d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", "
                               "\"General\"];\n"
                               "    d.writeConfig(\"Image\", picture);\n"
                               "}\n")
                               .arg(javaScriptString(fileUri(picture)));
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.plasmashell"), QStringLiteral("/PlasmaShell"),
        QStringLiteral("org.kde.PlasmaShell"), QStringLiteral("evaluateScript"));
    message << script;
    call(plasma, sessionBus(plasma), message);
}

namespace {

// KDE's own configuration tools, Plasma 6's where installed, else Plasma 5's.
std::string kdeTool(const char* name) {
    const std::string six = name + std::string("6");
    return QStandardPaths::findExecutable(QString::fromStdString(six)).isEmpty()
               ? name + std::string("5")
               : six;
}

// The lock screen's wallpaper settings: the plug-in in [Greeter], the picture in
// [Greeter][Wallpaper][org.kde.image][General] of kscreenlockerrc.
std::vector<std::string> greeterKey(bool image) {
    std::vector<std::string> key = {"--file", "kscreenlockerrc", "--group", "Greeter"};
    for (const char* group : {"Wallpaper", "org.kde.image", "General"})
        if (image) key.insert(key.end(), {"--group", group});
    key.insert(key.end(), {"--key", image ? "Image" : "WallpaperPlugin"});
    return key;
}

std::string readGreeter(bool image) {
    const std::string value =
        runDesktopTool("KDE Plasma", kdeTool("kreadconfig"), greeterKey(image));
    return value.substr(0, value.find('\n'));
}

// An empty value removes the key: what an untouched lock screen has.
void writeGreeter(bool image, const std::string& value) {
    std::vector<std::string> arguments = greeterKey(image);
    arguments.push_back(value.empty() ? "--delete" : value);
    if (value.empty()) arguments.emplace_back("");
    runDesktopTool("KDE Plasma", kdeTool("kwriteconfig"), arguments);
}

}  // namespace

PlasmaBackground::PlasmaBackground(std::filesystem::path kept) : kept_(std::move(kept)) {}

void PlasmaBackground::setLockScreenPicture(const std::filesystem::path& picture) {
    const QString kept = QFile::decodeName(kept_.c_str());
    if (!QFile::exists(kept)) {
        QSettings before(kept, QSettings::IniFormat);
        before.setValue(QStringLiteral("WallpaperPlugin"),
                        QString::fromStdString(readGreeter(false)));
        before.setValue(QStringLiteral("Image"), QString::fromStdString(readGreeter(true)));
        before.sync();
        if (before.status() != QSettings::NoError)
            failDesktop("KDE Plasma", "cannot write " + kept_.string(), Cause::FileError, {});
    }
    // Another plug-in, such as a slide show, would not show the picture.
    writeGreeter(false, "org.kde.image");
    writeGreeter(true, fileUri(picture).toStdString());
}

void PlasmaBackground::restoreLockScreen() {
    const QString kept = QFile::decodeName(kept_.c_str());
    if (!QFile::exists(kept)) return;
    const QSettings before(kept, QSettings::IniFormat);
    writeGreeter(false, before.value(QStringLiteral("WallpaperPlugin")).toString().toStdString());
    writeGreeter(true, before.value(QStringLiteral("Image")).toString().toStdString());
    QFile::remove(kept);
}

std::optional<std::filesystem::path> PlasmaBackground::lockScreenPicture() const {
    try {
        const QUrl image(QString::fromStdString(readGreeter(true)));
        if (image.isLocalFile()) return QFile::encodeName(image.toLocalFile()).toStdString();
    } catch (const Failure&) {
        // No KDE tools: nothing known.
    }
    return std::nullopt;
}

// ---- XFCE

// xfconfd over D-Bus rather than xfconf-query: one round trip lists every monitor's properties,
// values keep their types without string parsing, and errors come back with their names.
void XfconfBackground::setPicture(const std::filesystem::path& picture, const Screen& screen) {
    constexpr Peer xfconf{"XFCE", "xfconfd"};
    const QString service = QStringLiteral("org.xfce.Xfconf");
    const QString path = QStringLiteral("/org/xfce/Xfconf");
    const QString interface = QStringLiteral("org.xfce.Xfconf");
    const QString channel = QStringLiteral("xfce4-desktop");
    const QDBusConnection bus = sessionBus(xfconf);

    auto set = [&](const QString& property, const QVariant& value) {
        QDBusMessage message =
            QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("SetProperty"));
        message << channel << property << QVariant::fromValue(QDBusVariant(value));
        call(xfconf, bus, message);
    };

    QDBusMessage list = QDBusMessage::createMethodCall(service, path, interface,
                                                       QStringLiteral("GetAllProperties"));
    list << channel << QStringLiteral("/backdrop");
    QStringList images;
    QVariantMap properties;
    const QDBusMessage reply = bus.call(list, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        properties = qdbus_cast<QVariantMap>(reply.arguments().value(0));
        static const QRegularExpression lastImage(
            QStringLiteral("^/backdrop/screen[^/]+/monitor[^/]+/workspace[^/]+/last-image$"));
        for (auto it = properties.begin(); it != properties.end(); ++it)
            if (lastImage.match(it.key()).hasMatch()) images << it.key();
    } else if (!reply.errorName().startsWith(QStringLiteral("org.xfce.Xfconf.Error."))) {
        // xfconfd answers an empty or missing channel with one of its own errors.
        failCall(xfconf, list.member(), reply);
    }

    const QString file = QFile::decodeName(picture.c_str());
    if (images.isEmpty()) {
        // xfdesktop has not written its settings yet: name the primary monitor as it does.
        const QString monitor = QStringLiteral("/backdrop/screen0/monitor%1/workspace0/")
                                    .arg(screen.name.empty() ? QStringLiteral("0")
                                                             : QString::fromStdString(screen.name));
        set(monitor + QStringLiteral("last-image"), file);
        set(monitor + QStringLiteral("image-style"), 5);  // zoomed: fills the screen
        return;
    }
    for (const QString& property : images) {
        set(property, file);
        // Style 0 shows no picture at all: zoomed instead; a style the user chose stays.
        QString style = property;
        style.replace(QStringLiteral("/last-image"), QStringLiteral("/image-style"));
        if (properties.contains(style) && properties.value(style).toInt() == 0) set(style, 5);
    }
}

// ---- LXQt

void LxqtBackground::setPicture(const std::filesystem::path& picture, const Screen&) {
    constexpr Peer lxqt{"LXQt", "pcmanfm-qt"};
    // pcmanfm-qt 1.2 ignores "zoom"; "stretch" fills the screen with every version.
    const QString mode = QStringLiteral("stretch");
    runDesktopTool(lxqt.desktop, "pcmanfm-qt",
                   {"--set-wallpaper", picture.string(), "--wallpaper-mode=stretch"});

    // pcmanfm-qt shows that mode at once but keeps the one it started with, and writes that one to
    // its settings (it just has, and does again when it quits): a desktop left at colour only
    // would be colour only again at the next login. Only a restart reads the settings again.
    const QString settingsFile =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/pcmanfm-qt/lxqt/settings.conf");
    if (QSettings(settingsFile, QSettings::IniFormat)
            .value(QStringLiteral("Desktop/WallpaperMode")) == mode)
        return;
    const QString service = QStringLiteral("org.pcmanfm.PCManFM");
    QDBusConnectionInterface* names = sessionBus(lxqt).interface();
    const bool running = names && names->isServiceRegistered(service);
    if (running) {
        call(lxqt, sessionBus(lxqt),
             QDBusMessage::createMethodCall(service, QStringLiteral("/Application"),
                                            QStringLiteral("org.pcmanfm.Application"),
                                            QStringLiteral("quit")));
        // It writes its settings as it quits: ours go in after.
        if (!waitForName(names, service, false))
            fail(lxqt, "pcmanfm-qt did not quit within 10 s to take the wallpaper mode");
    }
    {
        QSettings settings(settingsFile, QSettings::IniFormat);
        settings.setValue(QStringLiteral("Desktop/Wallpaper"), QFile::decodeName(picture.c_str()));
        settings.setValue(QStringLiteral("Desktop/WallpaperMode"), mode);
        settings.sync();
        if (settings.status() != QSettings::NoError)
            failDesktop(lxqt.desktop, "cannot write " + settingsFile.toStdString(),
                        Cause::FileError, {});
    }
    if (!running) return;  // the desktop shows it when it starts
    // As LXQt's session starts it; stdout is the log's.
    QProcess desktop;
    desktop.setProgram(QStringLiteral("pcmanfm-qt"));
    desktop.setArguments({QStringLiteral("--desktop"), QStringLiteral("--profile=lxqt")});
    desktop.setStandardOutputFile(QProcess::nullDevice());
    if (!desktop.startDetached())
        fail(lxqt, "pcmanfm-qt could not be started again: " + desktop.errorString().toStdString());
    // Back before the install ends: a next install's --set-wallpaper could otherwise take over
    // the instance still starting, and every pcmanfm-qt would exit, leaving no desktop at all.
    if (!waitForName(names, service, true)) fail(lxqt, "pcmanfm-qt did not come back within 10 s");
}

// ---- Desktop portal

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Receives the portal's Response signal for one request.
class PortalResponse : public QObject {
    Q_OBJECT
public:
    std::optional<uint> wait(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        answered_.wait_for(lock, limit, [this] { return response_.has_value(); });
        return response_;
    }

public Q_SLOTS:
    void receive(uint code, const QVariantMap&) {
        std::lock_guard lock(mutex_);
        response_ = code;
        answered_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable answered_;
    std::optional<uint> response_;
};

// Listens for the answer to one request, on a thread of its own: waiting must not run the install
// thread's other events, or the next install would come into the back end while this one still
// holds it. Stops listening when the call is over, however it ends.
class PortalListener {
public:
    PortalListener(QDBusConnection bus, const QString& path) : bus_(std::move(bus)) {
        response_.moveToThread(&thread_);
        thread_.start();
        follow(path);
    }
    ~PortalListener() {
        listen(false);
        thread_.quit();
        thread_.wait();
    }
    PortalListener(const PortalListener&) = delete;
    PortalListener& operator=(const PortalListener&) = delete;

    // The request's object, where its Response comes from.
    const QString& path() const { return path_; }
    void follow(const QString& path) {
        if (path == path_) return;
        if (!path_.isEmpty()) listen(false);
        path_ = path;
        listen(true);
    }
    std::optional<uint> wait(std::chrono::milliseconds limit) { return response_.wait(limit); }

private:
    void listen(bool on) {
        if (on)
            bus_.connect(kPortalService, path_, kRequestInterface, QStringLiteral("Response"),
                         &response_, SLOT(receive(uint, QVariantMap)));
        else
            bus_.disconnect(kPortalService, path_, kRequestInterface, QStringLiteral("Response"),
                            &response_, SLOT(receive(uint, QVariantMap)));
    }

    QDBusConnection bus_;
    QString path_;
    QThread thread_;
    PortalResponse response_;  // lives on thread_
};

}  // namespace

PortalBackground::PortalBackground(std::chrono::milliseconds answerLimit)
    : answerLimit_(answerLimit) {}

void PortalBackground::setPicture(const std::filesystem::path& picture, const Screen&) {
    constexpr Peer portal{"desktop portal", "xdg-desktop-portal"};
    QDBusConnection bus = sessionBus(portal);

    // The sandbox may not see the path the file has outside, so the portal gets the open file.
    QFile file(QFile::decodeName(picture.c_str()));
    if (!file.open(QIODevice::ReadOnly))
        failDesktop(portal.desktop,
                    "cannot open " + picture.string() + ": " + file.errorString().toStdString(),
                    Cause::FileError, {});

    // Listen on the request's path before asking, so that a quick answer is not missed: the
    // portal builds the path from our bus name and the token we choose.
    const QString token = QStringLiteral("daylume%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    PortalListener listener(
        bus, QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token));

    QDBusMessage message = QDBusMessage::createMethodCall(
        kPortalService, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Wallpaper"), QStringLiteral("SetWallpaperFile"));
    const QVariantMap options{{QStringLiteral("handle_token"), token},
                              {QStringLiteral("show-preview"), false},
                              {QStringLiteral("set-on"), QStringLiteral("background")}};
    message << QString() << QVariant::fromValue(QDBusUnixFileDescriptor(file.handle())) << options;
    const QList<QVariant> arguments = call(portal, bus, message);
    const QString handle = qvariant_cast<QDBusObjectPath>(arguments.value(0)).path();
    // Portals older than handle_token choose the path themselves.
    if (!handle.isEmpty()) listener.follow(handle);
    const std::optional<uint> response = listener.wait(answerLimit_);
    if (!response) {
        // Take back the question (a first-use dialog may still be asking the user).
        bus.asyncCall(QDBusMessage::createMethodCall(kPortalService, listener.path(),
                                                     kRequestInterface, QStringLiteral("Close")));
        fail(portal, "the wallpaper portal gave no answer within " +
                         (answerLimit_.count() % 1000 == 0
                              ? std::to_string(answerLimit_.count() / 1000) + " s"
                              : std::to_string(answerLimit_.count()) + " ms"));
    }
    if (*response == 1) fail(portal, "the wallpaper request was cancelled");
    if (*response != 0)
        fail(portal, "the wallpaper portal could not set the picture (response " +
                         std::to_string(*response) + ")");
}

}  // namespace daylume

#include "dbus_desktop_backends.moc"

#include "platform/linux/qt_application.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdlib>
#include <utility>

#include "platform/linux/qt_status_item.h"

namespace daylume {
namespace {

QString qString(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr int kThumbnailWidth = 320;

QString localized(const char* key) {
    return QCoreApplication::translate("Localizable", key);
}

// Every request to quit (the menu, another launch, a signal, the session's end) ends the main loop
// whatever is open. Qt's own quit would be refused by the window, which only hides on close, and
// a dialog's loop would go on running.
class QuitFilter final : public QObject {
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() != QEvent::Quit || object != QCoreApplication::instance()) return false;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
                dialog->reject();
        QCoreApplication::exit(0);
        return true;
    }
};

}  // namespace

PreferencesPanel::PreferencesPanel(const PreferenceActions& actions) {
    auto* layout = new QVBoxLayout(this);
    // Each note below its choice, indented like the choice's text.
    const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                       style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    auto addNote = [&](QLabel& note) {
        note.setWordWrap(true);
        note.setFixedWidth(kThumbnailWidth - 2 * indent);
        QPalette palette = note.palette();
        palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
        note.setPalette(palette);
        auto* row = new QHBoxLayout;
        row->addSpacing(indent);
        row->addWidget(&note);
        layout->addLayout(row);
    };
    layout->addWidget(&ultraHD_);
    addNote(ultraHDNote_);
    layout->addWidget(&lockScreen_);
    addNote(lockScreenNote_);
    layout->addWidget(&startAtLogin_);
    // Return in the dialog closes it; it must not open a file dialog instead.
    saveCopy_.setAutoDefault(false);
    layout->addWidget(&saveCopy_, 0, Qt::AlignLeft);
    // clicked, not toggled: only the user's own changes are choices.
    for (const auto& choice : {std::pair{&ultraHD_, Preference::UltraHD},
                               std::pair{&lockScreen_, Preference::LockScreen},
                               std::pair{&startAtLogin_, Preference::StartAtLogin}})
        QObject::connect(choice.first, &QCheckBox::clicked, this,
                         [&actions, preference = choice.second](bool on) {
                             if (actions.changed) actions.changed(preference, on);
                         });
    QObject::connect(&saveCopy_, &QPushButton::clicked, this, [&actions] {
        if (actions.saveCopy) actions.saveCopy();
    });
}

void PreferencesPanel::show(const PreferencesStatus& status) {
    status_ = status;
    // Unseen, the panel keeps the status for later, as the window does.
    if (isVisible()) fill();
}

void PreferencesPanel::showEvent(QShowEvent* event) {
    fill();
    QGroupBox::showEvent(event);
}

void PreferencesPanel::fill() {
    const PreferencesStatus& status = status_;
    // Named here, not when made: the translations are loaded after the widgets are.
    setTitle(localized("preferences_title"));
    ultraHD_.setText(localized("preferences_ultra_hd"));
    lockScreen_.setText(localized("preferences_lock_screen"));
    startAtLogin_.setText(localized("preferences_start_at_login"));
    saveCopy_.setText(localized("button_save_copy"));
    ultraHD_.setChecked(status.chosen.ultraHD);
    lockScreen_.setChecked(status.chosen.lockScreen);
    lockScreen_.setEnabled(status.lockScreenNote.empty());
    startAtLogin_.setChecked(status.chosen.startAtLogin);
    ultraHDNote_.setText(qString(status.ultraHDNote));
    lockScreenNote_.setText(qString(status.lockScreenNote));
    for (QLabel* note : {&ultraHDNote_, &lockScreenNote_})
        note->setVisible(!note->text().isEmpty());
    saveCopy_.setEnabled(status.canSaveCopy);
}

ViewController::ViewController(const PreferenceActions& actions)
    : buttons_(new QHBoxLayout), preferences_(actions) {
    setWindowTitle(QStringLiteral("Daylume"));
    auto* layout = new QVBoxLayout(this);
    thumbnail_.setFixedSize(kThumbnailWidth, kThumbnailWidth * 9 / 16);
    thumbnail_.setAlignment(Qt::AlignCenter);
    QFont bold = title_.font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    title_.setFont(bold);
    for (QLabel* label : {&title_, &credit_, &setAt_, &activity_}) {
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    for (QWidget* widget : {static_cast<QWidget*>(&thumbnail_), static_cast<QWidget*>(&title_),
                            static_cast<QWidget*>(&credit_), static_cast<QWidget*>(&setAt_),
                            static_cast<QWidget*>(&activity_)})
        layout->addWidget(widget);
    layout->addLayout(buttons_);
    layout->addWidget(&preferences_);
    // As tall as its text, which wraps at the thumbnail's width: a longer status line makes the
    // window grow instead of squeezing the lines over the thumbnail.
    for (QLabel* label : {&title_, &credit_, &setAt_, &activity_})
        label->setFixedWidth(kThumbnailWidth);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ViewController::show(const PictureStatus& status) {
    status_ = status;
    // Unseen, the window keeps the status for later: laying out text loads fonts, which a
    // Daylume without a task-bar entry never needs.
    if (isVisible()) fill(status_);
}

void ViewController::showEvent(QShowEvent* event) {
    fill(status_);
    QWidget::showEvent(event);
}

void ViewController::fill(const PictureStatus& status) {
    if (!std::exchange(filled_, true) || status.picture != picture_) {
        picture_ = status.picture;
        // Decoded at the thumbnail's size: the whole picture takes megabytes, and QPixmap's own
        // loader would keep it in its cache for good.
        QImage image;
        if (picture_) {
            QImageReader reader(QString::fromStdString(picture_->string()));
            reader.setScaledSize(reader.size().scaled(thumbnail_.size(), Qt::KeepAspectRatio));
            image = reader.read();
        }
        // Before the first picture, the application's icon rather than an empty box.
        thumbnail_.setPixmap(image.isNull() ? QtApplication::icon().pixmap(thumbnail_.height() / 2)
                                            : QPixmap::fromImage(image));
    }
    title_.setText(qString(status.title));
    credit_.setText(qString(status.credit));
    setAt_.setText(qString(status.setAt));
    activity_.setText(qString(status.activity));
    for (QLabel* label : {&credit_, &setAt_, &activity_})
        label->setVisible(!label->text().isEmpty());
}

void ViewController::setActions(std::vector<MenuEntry> actions) {
    for (MenuEntry& entry : actions) {
        auto* button = new QPushButton(qString(entry.title), this);
        QObject::connect(button, &QPushButton::clicked, button,
                         [action = std::move(entry.action)] { action(); });
        buttons_->addWidget(button);
    }
}

void ViewController::closeEvent(QCloseEvent* event) {
    event->ignore();  // kept for the next time the entry is asked for
    hide();
    if (onClose) onClose();
}

QtApplication::QtApplication(ActivationPolicy initialPolicy)
    : viewController_(preferenceActions_), dialogPanel_(new PreferencesPanel(preferenceActions_)) {
    QApplication::setWindowIcon(icon());
    auto* layout = new QVBoxLayout(&preferencesDialog_);
    layout->addWidget(dialogPanel_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &preferencesDialog_, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // Closing the window is the user removing the entry: the menu's toggle then shows it again.
    viewController_.onClose = [this] { policy_ = ActivationPolicy::Accessory; };
    setActivationPolicy(initialPolicy);
    quitFilter_ = std::make_unique<QuitFilter>();
    QCoreApplication::instance()->installEventFilter(quitFilter_.get());
}

QIcon QtApplication::icon() {
    return QIcon::fromTheme(QStringLiteral("io.github.daylume.Daylume"),
                            QIcon(QStringLiteral(":/icons/io.github.daylume.Daylume.svg")));
}

void QtApplication::terminate() {
    QCoreApplication::quit();
}

void QtApplication::setActivationPolicy(ActivationPolicy policy) {
    policy_ = policy;
    if (policy == ActivationPolicy::Regular) {
        // Mapped minimized, X11 window managers show a window normally all the same (Qt gives it
        // no iconic initial state): it is minimized once it is there.
        viewController_.QWidget::show();
        QTimer::singleShot(0, &viewController_, [this] { viewController_.showMinimized(); });
    } else
        viewController_.hide();
}

int QtApplication::runModal(const Alert& alert) {
    // The application's icon for every dialog: a warning triangle would read as an error.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Daylume"), qString(alert.messageText));
    box.setIconPixmap(icon().pixmap(64));
    box.setInformativeText(qString(alert.informativeText));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    std::vector<QAbstractButton*> buttons;
    for (const std::string& title : alert.buttons)
        buttons.push_back(box.addButton(
            qString(title), buttons.empty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    if (buttons.empty()) box.addButton(QMessageBox::Ok);
    // The first button answers Return, as the first button of an alert does.
    else
        box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i]) return kAlertFirstButtonReturn + int(i);
    // Closed without a choice (Escape): the last button, the one that cancels.
    return kAlertFirstButtonReturn + int(buttons.empty() ? 0 : buttons.size() - 1);
}

void QtApplication::openURL(const Url& url) {
    open(qString(url.absoluteString()));
}

void QtApplication::openFolder(const std::filesystem::path& folder) {
    open(QUrl::fromLocalFile(QFile::decodeName(folder.c_str())).toString(QUrl::FullyEncoded));
}

void QtApplication::open(const QString& address) {
    // Whatever the opener or the program it starts prints must not land in the log, which is
    // this program's standard output.
    QProcess opener;
    opener.setProgram(QStringLiteral("xdg-open"));
    opener.setArguments({address});
    opener.setStandardInputFile(QProcess::nullDevice());
    opener.setStandardOutputFile(QProcess::nullDevice());
    opener.setStandardErrorFile(QProcess::nullDevice());
    if (opener.startDetached()) return;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Daylume"),
                    QCoreApplication::translate("Localizable", "alert_cannot_open"));
    box.setInformativeText(
        QCoreApplication::translate("Localizable", "alert_cannot_open_detail").arg(address));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

void QtApplication::setStatusActions(std::vector<MenuEntry> actions) {
    viewController_.setActions(std::move(actions));
}

void QtApplication::showPreferences(const PreferencesStatus& status) {
    viewController_.preferences().show(status);
    dialogPanel_->show(status);
}

void QtApplication::openPreferencesDialog() {
    preferencesDialog_.setWindowTitle(localized("preferences_window_title"));
    preferencesDialog_.show();
    preferencesDialog_.raise();
    preferencesDialog_.activateWindow();
}

void QtApplication::saveCopy(const std::filesystem::path& picture, const std::string& name) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QFileInfo(folder).isDir()) folder = QDir::homePath();
    const QString to = QFileDialog::getSaveFileName(
        QApplication::activeWindow(), localized("save_copy_title"),
        folder + QLatin1Char('/') + qString(name),
        localized("save_copy_filter") + QStringLiteral(" (*.jpg *.jpeg *.png *.webp)"));
    if (to.isEmpty()) return;
    if (const std::optional<QString> error =
            writeWholeCopy(QFile::decodeName(picture.c_str()), to)) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Daylume"),
                        localized("alert_copy_failed"));
        box.setInformativeText(*error);
        box.setTextInteractionFlags(Qt::TextSelectableByMouse);
        box.exec();
    }
}

std::optional<QString> writeWholeCopy(const QString& from, const QString& to) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) return in.errorString();
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly)) return out.errorString();
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        if (chunk.isEmpty() && in.error() != QFile::NoError) {
            out.cancelWriting();
            return in.errorString();
        }
        if (out.write(chunk) != chunk.size()) break;  // commit reports it
    }
    if (!out.commit()) return out.errorString();
    return std::nullopt;
}

void QtApplication::postNotification(const Notification& notification) {
    const QString title = qString(notification.title), body = qString(notification.body);
    if (std::getenv("FLATPAK_ID") || QFile::exists(QStringLiteral("/.flatpak-info"))) {
        // Inside the sandbox only the portal is there to ask; it takes plain text.
        QDBusMessage message =
            QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                           QStringLiteral("/org/freedesktop/portal/desktop"),
                                           QStringLiteral("org.freedesktop.portal.Notification"),
                                           QStringLiteral("AddNotification"));
        message << QStringLiteral("picture")
                << QVariantMap{{QStringLiteral("title"), title}, {QStringLiteral("body"), body}};
        // Without a notification service the call fails unseen: there is nobody to tell then.
        QDBusConnection::sessionBus().asyncCall(message);
        return;
    }
    QVariantMap hints{
        {QStringLiteral("desktop-entry"), QStringLiteral("io.github.daylume.Daylume")}};
    if (notification.image)
        hints.insert(QStringLiteral("image-path"),
                     QUrl::fromLocalFile(QFile::decodeName(notification.image->c_str()))
                         .toString(QUrl::FullyEncoded));
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    const QString path = QStringLiteral("/org/freedesktop/Notifications");
    auto* capabilities = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(
        QDBusMessage::createMethodCall(service, path, service, QStringLiteral("GetCapabilities"))));
    QObject::connect(capabilities, &QDBusPendingCallWatcher::finished, capabilities, [=] {
        capabilities->deleteLater();
        // A server that reads the body as markup would take a credit's "&" or "<" for it. The
        // summary is plain text by the standard, and GNOME Shell and Plasma show it as such.
        const QDBusPendingReply<QStringList> reply = *capabilities;
        const bool markup =
            reply.isValid() && reply.value().contains(QStringLiteral("body-markup"));
        QDBusMessage message =
            QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
        message << QStringLiteral("Daylume") << uint(0)
                << QStringLiteral("io.github.daylume.Daylume") << title
                << (markup ? body.toHtmlEscaped() : body) << QStringList() << hints << int(-1);
        QDBusConnection::sessionBus().asyncCall(message);
    });
}

std::unique_ptr<StatusItem> QtApplication::makeStatusItem() {
    return std::make_unique<QtStatusItem>();
}

}  // namespace daylume

#include "platform/linux/qt_application.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDesktopServices>
#include <QFile>
#include <QHBoxLayout>
#include <QImageReader>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdlib>

#include "platform/linux/qt_status_item.h"

namespace daylume {
namespace {

QString qString(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr int kThumbnailWidth = 320;

}  // namespace

ViewController::ViewController() : buttons_(new QHBoxLayout) {
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
    setFixedWidth(kThumbnailWidth + layout->contentsMargins().left() +
                  layout->contentsMargins().right());
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
    if (status.picture != picture_) {
        picture_ = status.picture;
        // Decoded at the thumbnail's size: the whole picture takes megabytes, and QPixmap's own
        // loader would keep it in its cache for good.
        QImageReader reader(picture_ ? QString::fromStdString(picture_->string()) : QString());
        reader.setScaledSize(reader.size().scaled(thumbnail_.size(), Qt::KeepAspectRatio));
        thumbnail_.setPixmap(QPixmap::fromImage(reader.read()));
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

QtApplication::QtApplication(ActivationPolicy initialPolicy) {
    QApplication::setWindowIcon(icon());
    // Closing the window is the user removing the entry: the menu's toggle then shows it again.
    viewController_.onClose = [this] { policy_ = ActivationPolicy::Accessory; };
    setActivationPolicy(initialPolicy);
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
    if (policy == ActivationPolicy::Regular)
        viewController_.showMinimized();
    else
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
    QDesktopServices::openUrl(QUrl(qString(url.absoluteString())));
}

void QtApplication::openFolder(const std::filesystem::path& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(folder.c_str())));
}

void QtApplication::setStatusActions(std::vector<MenuEntry> actions) {
    viewController_.setActions(std::move(actions));
}

void QtApplication::postNotification(const Notification& notification) {
    QDBusMessage message;
    if (std::getenv("FLATPAK_ID") || QFile::exists(QStringLiteral("/.flatpak-info"))) {
        // Inside the sandbox only the portal is there to ask.
        message =
            QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                           QStringLiteral("/org/freedesktop/portal/desktop"),
                                           QStringLiteral("org.freedesktop.portal.Notification"),
                                           QStringLiteral("AddNotification"));
        message << QStringLiteral("picture")
                << QVariantMap{{QStringLiteral("title"), qString(notification.title)},
                               {QStringLiteral("body"), qString(notification.body)}};
    } else {
        QVariantMap hints{
            {QStringLiteral("desktop-entry"), QStringLiteral("io.github.daylume.Daylume")}};
        if (notification.image)
            hints.insert(QStringLiteral("image-path"),
                         QUrl::fromLocalFile(QFile::decodeName(notification.image->c_str()))
                             .toString(QUrl::FullyEncoded));
        message = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                 QStringLiteral("/org/freedesktop/Notifications"),
                                                 QStringLiteral("org.freedesktop.Notifications"),
                                                 QStringLiteral("Notify"));
        message << QStringLiteral("Daylume") << uint(0)
                << QStringLiteral("io.github.daylume.Daylume") << qString(notification.title)
                << qString(notification.body) << QStringList() << hints << int(-1);
    }
    // Without a notification service the call fails unseen: there is nobody to tell then.
    QDBusConnection::sessionBus().asyncCall(message);
}

std::unique_ptr<StatusItem> QtApplication::makeStatusItem() {
    return std::make_unique<QtStatusItem>();
}

}  // namespace daylume

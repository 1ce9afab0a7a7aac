#include "platform/linux/qt_application.h"

#include <QApplication>
#include <QFile>
#include <QUrl>

#include "platform/linux/desktop_notifications.h"
#include "platform/linux/dialogs.h"
#include "platform/linux/qt_status_item.h"

namespace daylume {
namespace {

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

QtApplication::QtApplication(ActivationPolicy initialPolicy)
    : viewController_(preferenceActions_, windowActions_), preferencesDialog_(preferenceActions_) {
    QApplication::setWindowIcon(applicationIcon());
    // Closing the window is the user removing the entry: the menu's toggle then shows it again.
    viewController_.onClose = [this] { policy_ = ActivationPolicy::Accessory; };
    setActivationPolicy(initialPolicy);
    quitFilter_ = std::make_unique<QuitFilter>();
    QCoreApplication::instance()->installEventFilter(quitFilter_.get());
}

void QtApplication::terminate() {
    QCoreApplication::quit();
}

void QtApplication::setActivationPolicy(ActivationPolicy policy) {
    policy_ = policy;
    if (policy == ActivationPolicy::Regular) {
        viewController_.appearMinimized();
    } else
        viewController_.hide();
}

void QtApplication::presentWindow() {
    policy_ = ActivationPolicy::Regular;
    if (!viewController_.isVisible()) placeInSight(viewController_);
    viewController_.showNormal();
    viewController_.raise();
    viewController_.activateWindow();
}

int QtApplication::runModal(const Alert& alert) {
    return runAlert(alert);
}

void QtApplication::openURL(const Url& url) {
    openWithDesktop(qString(url.absoluteString()));
}

void QtApplication::openFolder(const std::filesystem::path& folder) {
    openWithDesktop(
        QUrl::fromLocalFile(QFile::decodeName(folder.c_str())).toString(QUrl::FullyEncoded));
}

void QtApplication::showPreferences(const PreferencesStatus& status) {
    viewController_.preferences().show(status);
    preferencesDialog_.panel().show(status);
}

void QtApplication::saveCopy(const std::filesystem::path& picture, const std::string& name) {
    saveCopyWithDialog(picture, name);
}

void QtApplication::postNotification(const Notification& notification) {
    postDesktopNotification(notification);
}

std::unique_ptr<StatusItem> QtApplication::makeStatusItem() {
    return std::make_unique<QtStatusItem>();
}

}  // namespace daylume

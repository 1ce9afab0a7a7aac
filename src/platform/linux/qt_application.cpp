#include "platform/linux/qt_application.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "platform/linux/qt_status_item.h"

namespace daylume {

ViewController::ViewController() {
    setWindowTitle(QStringLiteral("Daylume"));
    resize(320, 1);
}

QtApplication::QtApplication(ActivationPolicy initialPolicy) {
    setActivationPolicy(initialPolicy);
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
    QMessageBox box(alert.informational ? QMessageBox::Information : QMessageBox::Warning,
                    QString(), QString::fromStdString(alert.messageText));
    box.setWindowTitle(QStringLiteral("Daylume"));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    std::vector<QAbstractButton*> buttons;
    for (const std::string& title : alert.buttons)
        buttons.push_back(
            box.addButton(QString::fromStdString(title),
                          buttons.empty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    if (buttons.empty()) box.addButton(QMessageBox::Ok);
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i]) return kAlertFirstButtonReturn + int(i);
    // Closed without a choice (Escape): the last button, the one that cancels.
    return kAlertFirstButtonReturn + int(buttons.empty() ? 0 : buttons.size() - 1);
}

void QtApplication::openURL(const Url& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url.absoluteString())));
}

std::unique_ptr<StatusItem> QtApplication::makeStatusItem() {
    return std::make_unique<QtStatusItem>();
}

}  // namespace daylume

#include "platform/linux/dialogs.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <vector>

namespace daylume {

QString localized(const char* key) {
    return QCoreApplication::translate("Localizable", key);
}

QIcon applicationIcon() {
    return QIcon::fromTheme(QStringLiteral("io.github.daylume.Daylume"),
                            QIcon(QStringLiteral(":/icons/io.github.daylume.Daylume.svg")));
}

void placeInSight(QWidget& dialog) {
    dialog.adjustSize();
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // The frame's top left is placed: the title bar stays on the screen. Early in a session the
    // work area may not be known yet.
    const QRect area =
        screen->availableGeometry().isEmpty() ? screen->geometry() : screen->availableGeometry();
    dialog.move(area.center() - QPoint(dialog.width() / 2, dialog.height() / 2));
}

int execInSight(QDialog& dialog) {
    // Not exec(), which makes the dialog modal: Qt then holds back input to the windows that it
    // counts as the dialog's, the tray's menu among them.
    dialog.setWindowModality(Qt::NonModal);
    placeInSight(dialog);
    QEventLoop closed;
    QObject::connect(&dialog, &QDialog::finished, &closed, &QEventLoop::quit);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    closed.exec();
    return dialog.result();
}

int runAlert(const Alert& alert) {
    // The application's icon for every dialog: a warning triangle would read as an error.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Daylume"), qString(alert.messageText));
    box.setIconPixmap(applicationIcon().pixmap(64));
    box.setInformativeText(qString(alert.informativeText));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    std::vector<QAbstractButton*> buttons;
    for (const std::string& title : alert.buttons)
        buttons.push_back(box.addButton(
            qString(title), buttons.empty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    if (buttons.empty()) {
        box.addButton(QMessageBox::Ok);
    } else {
        // The first button answers Return, as the first button of an alert does, and the last
        // Escape, also where two others could.
        box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
        box.setEscapeButton(buttons.back());
    }
    execInSight(box);
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i]) return kAlertFirstButtonReturn + int(i);
    // Closed without a choice (Escape): the last button, the one that cancels.
    return kAlertFirstButtonReturn + int(buttons.empty() ? 0 : buttons.size() - 1);
}

void showWarning(const QString& text, const QString& detail) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Daylume"), text);
    box.setInformativeText(detail);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    execInSight(box);
}

void openWithDesktop(const QString& address) {
    // Whatever the opener or the program it starts prints must not land in the log, which is
    // this program's standard output. It may wait for that program, so it is not waited for.
    auto* opener = new QProcess(qApp);
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments({address});
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(opener, &QProcess::errorOccurred, opener, [opener, address](auto error) {
        if (error != QProcess::FailedToStart) return;
        opener->deleteLater();
        showWarning(localized("alert_cannot_open"),
                    localized("alert_cannot_open_detail").arg(address));
    });
    // 3: no program for it; 4: the program failed.
    QObject::connect(opener, &QProcess::finished, opener, [opener, address](int status) {
        opener->deleteLater();
        if (status != 0)
            showWarning(localized("alert_cannot_open"),
                        localized("alert_no_program_detail").arg(address));
    });
    opener->start();
}

void saveCopyWithDialog(const std::filesystem::path& picture, const std::string& name) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QFileInfo(folder).isDir()) folder = QDir::homePath();
    QFileDialog dialog(
        nullptr, localized("save_copy_title"), folder + QLatin1Char('/') + qString(name),
        localized("save_copy_filter") + QStringLiteral(" (*.jpg *.jpeg *.png *.webp)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (execInSight(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString to = dialog.selectedFiles().constFirst();
    if (const std::optional<QString> error = writeWholeCopy(QFile::decodeName(picture.c_str()), to))
        showWarning(localized("alert_copy_failed"), *error);
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

}  // namespace daylume

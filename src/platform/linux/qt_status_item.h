#pragma once

#include <QAbstractNativeEventFilter>
#include <QDBusServiceWatcher>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

#include "platform/application.h"

namespace daylume {

// A QSystemTrayIcon made only once the desktop has a tray: Qt decides once per process, when the
// first icon is made, between a StatusNotifierItem (a host on the session bus) and the X11 tray,
// so making it before a host exists could leave it invisible for good. Until then this watches
// for either.
class QtStatusItem final : public QObject, public StatusItem, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    QtStatusItem();
    ~QtStatusItem() override;

    void setImage(std::string_view name) override;
    void setMenu(std::vector<MenuEntry> entries) override;
    void setToolTip(std::string_view text) override;
    bool trayExists() const override {
        return tray_ || statusNotifierHostExists() || x11TrayExists();
    }

    // The tray icon once a tray exists; for tests.
    QSystemTrayIcon* trayIcon() const { return tray_.get(); }
    QMenu* menu() { return &menu_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private Q_SLOTS:
    void showIfTrayExists();

private:
    void watchX11TraySelection();
    static bool statusNotifierHostExists();
    static bool x11TrayExists();

    QIcon icon_;
    QString toolTip_ = QStringLiteral("Daylume");
    QMenu menu_;
    std::unique_ptr<QSystemTrayIcon> tray_;
    QDBusServiceWatcher watcher_;
    int xfixesFirstEvent_ = -1;  // where the XFIXES extension's events start
};

}  // namespace daylume

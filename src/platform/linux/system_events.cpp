#include "platform/linux/system_events.h"

#include <QApplication>

namespace daylume {

QtSystemEvents::QtSystemEvents(SingleInstance& instance)
    : wakes_([this] { post(SystemEvent::Wake); }),
      network_([this] { post(SystemEvent::NetworkReturn); }) {
    QObject::connect(&instance, &SingleInstance::received, &context_,
                     [this](const QString& message) {
                         if (message == QLatin1String("activate")) post(SystemEvent::Activation);
                         if (message == QLatin1String("refresh")) post(SystemEvent::RefreshRequest);
                         if (message == QLatin1String("preferences"))
                             post(SystemEvent::PreferencesRequest);
                     });
    QObject::connect(qGuiApp, &QGuiApplication::applicationStateChanged, &context_,
                     [this](Qt::ApplicationState state) {
                         // The open tray menu takes the focus, but it belongs to the panel:
                         // opening it is no activation, as a menu-bar extra's menu is none.
                         if (state == Qt::ApplicationActive && !QApplication::activePopupWidget())
                             post(SystemEvent::Activation);
                     });
}

void QtSystemEvents::addObserver(SystemEvent event, Task handler) {
    observers_.emplace_back(event, std::move(handler));
}

void QtSystemEvents::removeObservers() {
    observers_.clear();
}

void QtSystemEvents::post(SystemEvent event) {
    // A copy: a handler may add or remove observers.
    const auto observers = observers_;
    for (const auto& [observed, handler] : observers)
        if (observed == event) handler();
}

}  // namespace daylume

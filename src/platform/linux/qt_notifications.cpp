#include "platform/linux/qt_notifications.h"

#include <QGuiApplication>

namespace daylume {

QtNotifications::QtNotifications(SingleInstance& instance)
    : wakes_([this] { post(SystemEvent::Wake); }) {
    QObject::connect(&instance, &SingleInstance::launchedAgain, &context_,
                     [this] { post(SystemEvent::Activation); });
    QObject::connect(qGuiApp, &QGuiApplication::applicationStateChanged, &context_,
                     [this](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive) post(SystemEvent::Activation);
                     });
}

void QtNotifications::addObserver(SystemEvent event, Task handler) {
    observers_.emplace_back(event, std::move(handler));
}

void QtNotifications::removeObservers() {
    observers_.clear();
}

void QtNotifications::post(SystemEvent event) {
    // A copy: a handler may add or remove observers.
    const auto observers = observers_;
    for (const auto& [observed, handler] : observers)
        if (observed == event) handler();
}

}  // namespace daylume

#include "platform/linux/system_events.h"

#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

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
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &context_,
                     [this](QWindow* window) { focusChanged(window); });
}

// One of Daylume's windows takes the focus while none had it. Not Qt's application state: a
// window that closes with the focus (a dialog) leaves Qt's focus without a word, so the state
// stayed "active" while another program had the focus, and the user's return was no activation.
void QtSystemEvents::focusChanged(QWindow* window) {
    // The open tray menu takes the focus, but it belongs to the panel: opening it is no
    // activation, as a menu-bar extra's menu is none.
    if (window && window->type() == Qt::Popup) return;
    if (window && !focused_) post(SystemEvent::Activation);
    focused_ = window != nullptr;
    QObject::disconnect(closing_);
    if (!window) return;
    // Closed, it hands the focus to another of Daylume's windows at once, or to another program.
    closing_ = QObject::connect(window, &QWindow::visibleChanged, &context_, [this](bool visible) {
        if (!visible)
            QTimer::singleShot(250, &context_,
                               [this] { focused_ = QGuiApplication::focusWindow() != nullptr; });
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

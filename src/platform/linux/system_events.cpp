#include "platform/linux/system_events.h"

#include <QGuiApplication>
#include <QTimer>
#include <QWindow>
#include <algorithm>

namespace daylume {

QtSystemEvents::QtSystemEvents(SingleInstance& instance)
    : wakes_([this] { post(SystemEvent::Wake); }),
      network_([this] { post(SystemEvent::NetworkReturn); }) {
    QObject::connect(&instance, &SingleInstance::received, &context_,
                     [this](const QString& message) {
                         if (message == QLatin1String("activate")) {
                             request(SystemEvent::Activation);
                             request(SystemEvent::Relaunch);
                         }
                         if (message == QLatin1String("refresh"))
                             request(SystemEvent::RefreshRequest);
                         if (message == QLatin1String("preferences"))
                             request(SystemEvent::PreferencesRequest);
                     });
    // Only a GUI application has windows to follow (qGuiApp would cast any application).
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QObject::connect(gui, &QGuiApplication::focusWindowChanged, &context_,
                         [this](QWindow* window) { focusChanged(window); });
}

// A later launch said that it would be done: a request that comes before anyone observes it (in
// the first seconds) waits for its observer, once.
void QtSystemEvents::request(SystemEvent event) {
    if (std::ranges::any_of(observers_, [&](const auto& each) { return each.first == event; }))
        return post(event);
    if (std::ranges::find(requested_, event) == requested_.end()) requested_.push_back(event);
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
    if (std::erase(requested_, event))
        QTimer::singleShot(0, &context_, [this, event] { post(event); });  // after the set-up
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

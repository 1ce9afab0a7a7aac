#include "shell/app_delegate.h"

namespace daylume {

AppDelegate::AppDelegate(Platform& platform, std::string_view serviceOrigin)
    : platform_(platform), serviceOrigin_(*Url::parse(serviceOrigin)) {}

void AppDelegate::applicationDidFinishLaunching() {
    scheduleStatusItemSetup();
}

void AppDelegate::scheduleStatusItemSetup() {
    platform_.mainLoop.asyncAfter(kStatusItemSetupDelay, [this] { setupStatusItem(); });
}

void AppDelegate::applicationWillTerminate() {
    if (timer) timer->invalidate();
    platform_.notifications.removeObservers();
}

}  // namespace daylume

#include "shell/app_delegate.h"

namespace daylume {

AppDelegate::AppDelegate(Platform& platform, std::string_view serviceOrigin)
    : platform_(platform), serviceOrigin_(*Url::parse(serviceOrigin)) {}

void AppDelegate::applicationDidFinishLaunching() {
    removeInterruptedCopies();
    scheduleStatusItemSetup();
}

void AppDelegate::scheduleStatusItemSetup() {
    platform_.mainLoop.asyncAfter(kStatusItemSetupDelay, [this] {
        if (!terminating_) setupStatusItem();
    });
}

void AppDelegate::applicationWillTerminate() {
    terminating_ = true;
    if (timer) timer->invalidate();
    platform_.notifications.removeObservers();
}

}  // namespace daylume

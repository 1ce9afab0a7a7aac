#include "shell/app_delegate.h"

namespace daylume {

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

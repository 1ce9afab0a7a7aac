#include "shell/app_delegate.h"

namespace daylume {

// The tray icon waits for the panel of a session that is still starting.
constexpr Seconds kStatusItemSetupDelay{3.0};

AppDelegate::AppDelegate(Platform& platform, std::string_view serviceOrigin)
    : platform_(platform),
      serviceOrigin_(*Url::parse(serviceOrigin)),
      status_(platform.application, platform.bundle, platform.mainLoop) {}

void AppDelegate::applicationDidFinishLaunching() {
    removeInterruptedCopies();
    loadPreferences();
    updateStatus();
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

#include "platform/linux/qt_platform.h"

namespace daylume {
namespace {

// The bundle settings say how the application starts: without a task-bar entry unless they
// ask for one.
ActivationPolicy initialPolicy(const Bundle& bundle) {
    return bundle.stringValue("DaylumeActivationPolicy") == "regular" ? ActivationPolicy::Regular
                                                                      : ActivationPolicy::Accessory;
}

}  // namespace

QtPlatform::QtPlatform(SingleInstance& instance)
    : files_(FileManager::userDataHome(), FileManager::userStateHome(),
             FileManager::userCacheHome()),
      desktop_(makeDesktopBackend(detectDesktopSession(processEnvironment))),
      log_(1),
      bundle_(QtBundle::builtInSettings()),
      application_(initialPolicy(bundle_)),
      systemEvents_(instance),
      preferences_(QtPreferenceStore::userSettingsFile(), Autostart::forThisSession()),
      platform_{mainLoop_, installQueue_, http_,   files_,        desktop_,
                log_,      application_,  bundle_, systemEvents_, preferences_} {
    QtBundle::loadTranslations();
}

}  // namespace daylume

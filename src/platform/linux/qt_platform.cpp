#include "platform/linux/qt_platform.h"

namespace daylume {

QtPlatform::QtPlatform()
    : files_(FileManager::userDataHome()),
      desktop_(makeDesktopBackend(detectDesktopSession(processEnvironment))),
      log_(1),
      platform_{mainLoop_, http_, files_, desktop_, log_} {}

}  // namespace daylume

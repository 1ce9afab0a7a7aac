#pragma once

#include "platform/application.h"

namespace daylume {

// Shows a desktop notification through the notification service on the session bus (the portal's
// inside a Flatpak sandbox); where none runs, nothing happens.
void postDesktopNotification(const Notification& notification);

}  // namespace daylume

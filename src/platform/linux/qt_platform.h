#pragma once

#include "platform/file_manager.h"
#include "platform/linux/curl_http_client.h"
#include "platform/linux/desktop/linux_desktop.h"
#include "platform/linux/preference_store.h"
#include "platform/linux/qt_application.h"
#include "platform/linux/qt_bundle.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/serial_queue.h"
#include "platform/linux/stdout_log.h"
#include "platform/linux/system_events.h"
#include "platform/platform.h"

namespace daylume {

// The real services, for this user's session. Create after the QApplication, on the main thread.
class QtPlatform {
public:
    explicit QtPlatform(SingleInstance& instance);
    Platform& platform() { return platform_; }
    // Ends the network and install threads, so nothing calls back into the application after
    // its main loop has ended.
    void stop() {
        http_.stop();
        installQueue_.stop();
    }

private:
    // Declared so that the HTTP client and then the install queue, which may still be
    // installing, go first and the services an install uses outlive them.
    QtMainLoop mainLoop_;
    FileManager files_;
    LinuxDesktop desktop_;
    FdLog log_;
    QtBundle bundle_;
    QtApplication application_;
    QtSystemEvents systemEvents_;
    QtPreferenceStore preferences_;
    SerialQueue installQueue_;
    CurlHttpClient http_{installQueue_};
    Platform platform_;
};

}  // namespace daylume

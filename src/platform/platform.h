#pragma once

#include "platform/application.h"
#include "platform/desktop.h"
#include "platform/file_manager.h"
#include "platform/http_client.h"
#include "platform/log.h"
#include "platform/main_loop.h"
#include "platform/preferences.h"

namespace daylume {

// Everything the application asks of the outside world. The real one is made of Qt and Linux
// services; tests put a simulated one together.
struct Platform {
    MainLoop& mainLoop;
    // Installs, one at a time and never on the main thread: the HTTP client's download
    // completions, and whatever must not overlap an install.
    WorkQueue& installQueue;
    HttpClient& http;
    FileManager& files;
    Desktop& desktop;
    Log& log;
    Application& application;
    Bundle& bundle;
    Notifications& notifications;
    PreferenceStore& preferences;
};

}  // namespace daylume

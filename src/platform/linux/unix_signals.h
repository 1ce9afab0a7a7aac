#pragma once

namespace daylume {

// SIGTERM, SIGINT and SIGHUP (the session ending) quit the main loop, so the application
// terminates normally and exits with status 0.
void quitOnTerminationSignals();

}  // namespace daylume

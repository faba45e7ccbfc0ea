#pragma once

#include <functional>

namespace platform {

// SIGTERM, SIGINT and SIGHUP (the session ending, Ctrl+C, a closed terminal) run `quit` on the
// event loop, so the program ends as if its window had been closed: an open data log is completed.
// SIGXFSZ is ignored from here on: a file grown beyond the size limit fails to write instead.
void quitOnTerminationSignals(std::function<void()> quit);

} // namespace platform

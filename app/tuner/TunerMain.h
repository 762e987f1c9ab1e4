#pragma once
// pxhost --tune: keys a shot in the browser. Prints the page's address and serves it until
// SIGINT, SIGTERM or SIGHUP.

namespace pxhost {
struct Options;
}

namespace pxhost::tuner {

// Returns the program's exit status; throws HostError for bad inputs or options.
int runTuner(const Options& options);

}  // namespace pxhost::tuner

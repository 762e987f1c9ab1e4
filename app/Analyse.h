#pragma once
// pxhost --analyse PLATE: estimates the plate's screen colour and screen range, prints them,
// and writes a starter script keying the plate with them (named arguments, ready to edit) and
// a status picture of that key.

#include <string>
#include <vector>

#include "app/ScreenAnalysis.h"

namespace pxhost {

struct Options;

// The starter script's text for a plate keyed with an estimate. `plateName` as the script
// opens it (relative to the script's folder), `output` the keyer output to write into
// `keyName`.
std::string starterScript(const std::string& plateName, const ScreenEstimate& estimate,
                          const std::string& output, const std::string& keyName);

// Runs the analysis that `options` asks for; returns the exit status.
int runAnalysis(const Options& options);

}  // namespace pxhost

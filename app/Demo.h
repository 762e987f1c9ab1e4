#pragma once
// The built-in demo: the generated blue-screen shot keyed over the generated background plate.

#include <string>
#include <vector>

namespace pxhost {

class Session;

// File names of the demo's inputs and outputs within their folder.
struct DemoNames {
    static constexpr const char* kForeground = "bluescreen.png";
    static constexpr const char* kBackground = "background.png";
    static constexpr const char* kHoldOut = "holdout.png";
    static constexpr const char* kGarbage = "garbage.png";
    static constexpr const char* kCoverage = "coverage.png";
};

// Makes the folder (and its parents) unless it exists; throws RenderError naming it.
void makeFolder(const std::string& folder);

// Writes the generated shot, plate, mattes and the shot's true coverage (a matte) into the
// folder; returns the files written.
std::vector<std::string> writeDemoInputs(const std::string& folder);

// Gives the session the generated pictures (as plate, background, holdout, garbage) and the
// script that keys them into composite.png, matte.png, status.png and unpremultiplied.png in
// the folder.
void setUpDemo(Session& session, const std::string& folder);

}  // namespace pxhost

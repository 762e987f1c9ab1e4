#include "app/Analyse.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>

#include "app/AtomicOutputFile.h"
#include "app/HostError.h"
#include "app/ImageFile.h"
#include "app/Options.h"
#include "app/Progress.h"
#include "app/Session.h"

namespace pxhost {
namespace {

const char* const kChannelNames[3] = {"red", "green", "blue"};

std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

// A text as a quoted script text.
std::string quoted(const std::string& text) {
    std::string q = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') q += '\\';
        q += c;
    }
    return q + "\"";
}

// "dir/plate.png" -> "plate" and ".png".
void splitName(const std::string& path, std::string& stem, std::string& extension) {
    const size_t slash = path.rfind('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = base.rfind('.');
    stem = dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
    extension = dot == std::string::npos || dot == 0 ? std::string(".png") : base.substr(dot);
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void writeText(const std::string& path, const std::string& text) {
    AtomicOutputFile file(path);
    {
        std::ofstream out(file.tempPath(), std::ios::binary);
        out << text;
        if (!out.flush()) throw RenderError(path + ": cannot write the file");
    }
    file.commit();
}

}  // namespace

// A status picture is written without the matte in its alpha, which viewers would show as
// holes.
std::string starterScript(const std::string& plateName, const ScreenEstimate& e,
                          const std::string& output, const std::string& keyName) {
    return "// Starter key made by pxhost --analyse: the screen colour where the screen is\n"
           "// darkest, a screen range that covers the grain. Edit it, then run it with pxhost.\n"
           "plate = FileIn(" +
           quoted(plateName) +
           ");\n"
           "key = Zephra_1v4(plate, 0, 0, 0, output = " +
           quoted(output) +
           ",\n"
           "                 rScreen = " +
           number(e.screen[0]) + ", gScreen = " + number(e.screen[1]) +
           ", bScreen = " + number(e.screen[2]) +
           ",\n"
           "                 screenRange = " +
           number(e.screenRange) +
           ");\n"
           "FileOut(key, " +
           quoted(keyName) + (output == "status" ? ", channels = \"rgb\"" : "") + ");\n";
}

int runAnalysis(const Options& options) {
    const Raster plate = readImage(options.platePath);
    const Region region = options.region.empty() ? Region{} : parseRegion(options.region);
    const ScreenEstimate e = estimateScreen(plate, region);

    std::string stem, extension;
    splitName(options.platePath, stem, extension);
    const std::string scriptName = stem + "-key.pxs";
    const std::string statusName = stem + "-status" + extension;
    for (const std::string& name : {scriptName, statusName})
        if (exists(name))
            throw UsageError(name + ": exists already; not overwritten (move it away first)");

    std::printf("%s: %s screen, %d%% of the %s\n", options.platePath.c_str(),
                kChannelNames[e.screenChannel], static_cast<int>(e.screenShare * 100 + 0.5),
                options.region.empty() ? "picture" : "region");
    std::printf(
        "screen colour, where the screen is darkest: rScreen = %s, gScreen = %s, "
        "bScreen = %s\n",
        number(e.screen[0]).c_str(), number(e.screen[1]).c_str(), number(e.screen[2]).c_str());
    std::printf("screenRange, from the screen's grain and unevenness: %s\n",
                number(e.screenRange).c_str());

    // The status picture of the starter key, keyed as the starter script would key it.
    Session session(options.threads);
    session.loadPlugins(options.pluginDirs);
    session.runScript(starterScript(options.platePath, e, "status", statusName), "--analyse");
    const std::vector<long> frames = session.planFrames("");
    Progress progress(stderr, static_cast<long>(frames.size()), false, options.verbose);
    const int status = session.render(frames, progress, false);
    if (status != kExitOk) return status;
    writeText(scriptName,
              starterScript(options.platePath, e, "unpremultiplied", stem + "-key" + extension));
    if (!options.quiet) {
        std::puts(scriptName.c_str());
        std::puts(statusName.c_str());
    }
    return kExitOk;
}

}  // namespace pxhost

#include "app/Demo.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/DemoShot.h"
#include "app/HostError.h"
#include "app/ImageFile.h"
#include "app/Session.h"
#include "sdk/image/PXiMemoryImage.h"

namespace pxhost {
namespace {

PXiIPlug* memoryPicture(const Raster& raster) {
    auto* node = new PXiMemoryImage(raster.width, raster.height, raster.depth, raster.channels);
    node->setParent(PXiNode::getRoot());  // the root owns it from here
    std::memcpy(node->getPixels(), raster.samples.data(), raster.byteCount());
    node->touch();
    return node->getOutput();
}

std::string keyerCall(const char* output) {
    // The demo's screen colour and range; everything else at the command's defaults.
    char call[256];
    std::snprintf(call, sizeof call,
                  "Zephra_1v4(plate, background, holdout, garbage, \"%s\", %.3g, %.3g, %.3g, %.3g)",
                  output, kDemoKeyScreen[0], kDemoKeyScreen[1], kDemoKeyScreen[2],
                  kDemoKeyScreenRange);
    return call;
}

std::string quoted(const std::string& folder, const char* name) {
    std::string text = "\"";
    for (char c : folder + "/" + name) {
        if (c == '"' || c == '\\') text += '\\';
        text += c;
    }
    return text + "\"";
}

}  // namespace

void makeFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw RenderError(folder + ": cannot make the folder" +
                          (ec ? ": " + ec.message() : std::string()));
}

std::vector<std::string> writeDemoInputs(const std::string& folder) {
    makeFolder(folder);
    std::vector<std::string> written;
    const auto write = [&](const char* name, const Raster& raster, const char* channels) {
        WriteOptions options;
        options.channels = channels;
        const std::string path = folder + "/" + name;
        writeImage(path, raster, options);
        written.push_back(path);
    };
    write(DemoNames::kForeground, makeDemoForeground(), "");
    write(DemoNames::kBackground, makeDemoBackground(), "");
    write(DemoNames::kHoldOut, makeDemoHoldOut(), "a");
    write(DemoNames::kGarbage, makeDemoGarbage(), "a");
    write(DemoNames::kCoverage, makeDemoCoverage(), "a");
    return written;
}

void setUpDemo(Session& session, const std::string& folder) {
    makeFolder(folder);
    session.addPicture("plate", memoryPicture(makeDemoForeground()));
    session.addPicture("background", memoryPicture(makeDemoBackground()));
    session.addPicture("holdout", memoryPicture(makeDemoHoldOut()));
    session.addPicture("garbage", memoryPicture(makeDemoGarbage()));
    const std::string script =
        // The composite and the status picture are pictures to look at: written without the
        // matte in their alpha, which viewers would show as holes.
        "FileOut(" + keyerCall("composite") + ", " + quoted(folder, "composite.png") +
        ", \"\", \"rgb\");\n" + "unpremultiplied = " + keyerCall("unpremultiplied") + ";\n" +
        "FileOut(unpremultiplied, " + quoted(folder, "matte.png") + ", \"\", \"a\");\n" +
        "FileOut(" + keyerCall("status") + ", " + quoted(folder, "status.png") +
        ", \"\", \"rgb\");\n" + "FileOut(unpremultiplied, " +
        quoted(folder, "unpremultiplied.png") + ");\n";
    session.runScript(script, "demo");
}

}  // namespace pxhost

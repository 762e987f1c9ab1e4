#include "app/Session.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "app/AtomicOutputFile.h"
#include "app/FileIdentity.h"
#include "app/FrameRange.h"
#include "app/HostError.h"
#include "app/StderrCapture.h"
#include "sdk/PXiError.h"
#include "sdk/PXiIPlug.h"
#include "sdk/PXiPluginLoader.h"
#include "sdk/PXiRender.h"
#include "sdk/PXiScriptRunner.h"
#include "sdk/PXiThread.h"

namespace pxhost {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string programFolder() {
    std::vector<char> path(4096);
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) return ".";
    std::string exe(path.data(), static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? "." : exe.substr(0, slash);
}

// Plug-in libraries of a folder: lib*_lx.so, but not the SDK itself. Sorted by name.
std::vector<std::string> pluginFiles(const std::string& folder, bool& readable) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    readable = dir != nullptr;
    if (!dir) return names;
    while (dirent* e = readdir(dir)) {
        const std::string n = e->d_name;
        if (n.size() > 9 && n.compare(0, 3, "lib") == 0 &&
            n.compare(n.size() - 6, 6, "_lx.so") == 0 && n != "libpxsdk_lx.so")
            names.push_back(n);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

// The picture the render driver gives, as the writer reads it.
RasterView viewOf(const PXiIBuf& buffer, int channels) {
    RasterView view;
    view.data = static_cast<const unsigned char*>(buffer.getData());
    view.width = buffer.getWidth();
    view.height = buffer.getNumRows();
    view.depth = buffer.getDepth();
    view.channels = channels;
    view.rowSamples = static_cast<size_t>(buffer.getRowSamples());
    return view;
}

// A text argument of a host function; an absent one reads as empty.
std::string textArg(const char* text) { return text ? text : ""; }

}  // namespace

Session::Session(int threads)
    : m_scope(PXiScope::getGlobal()), m_capture(std::make_unique<StderrCapture>()) {
    PXiThread::setThreadCount(threads);
    declareHostFunctions();
}

Session::~Session() {
    // Nodes the script made hang under the root node; end them while the plug-ins that made
    // some of them are still loaded.
    PXiNode::getRoot()->deleteChildren();
}

void Session::loadPlugins(const std::vector<std::string>& folders) {
    std::vector<std::string> all = folders;
    all.push_back(programFolder());
    PXiPluginLoader loader;
    std::set<std::string> loaded;
    for (size_t i = 0; i < all.size(); ++i) {
        bool readable = false;
        const std::vector<std::string> files = pluginFiles(all[i], readable);
        if (!readable && i < folders.size())
            throw UsageError("--plugin-dir " + all[i] + ": cannot read the folder");
        for (const std::string& file : files) {
            if (loaded.count(file)) continue;
            const PXiPluginReport report = loader.load(all[i] + "/" + file);
            if (report.ok)
                loaded.insert(file);
            else  // a later folder's library of the same name may stand in
                std::fprintf(stderr, "pxhost: plug-in %s not loaded: %s\n", report.path.c_str(),
                             report.reason.c_str());
        }
    }
}

void Session::addPicture(const std::string& name, PXiIPlug* image) {
    m_scope.setValue(name, PXiValue::ofImage(image));
}

void Session::declareHostFunctions() {
    PXiCmplr compiler;
    const auto declare = [&](const char* declaration, PXiHostFunction fn) {
        if (compiler.declareHostFunction(&m_scope, declaration, std::move(fn), "pxhost") !=
            PXiCmplr::kOk)
            throw HostError(kExitRender, std::string("cannot declare the host's functions: ") +
                                             compiler.lastError()->what());
    };
    declare("extern image FileIn(string file);",
            [this](const PXiScriptCall& call) { return fileIn(call.texts.at(0)); });
    declare(
        "extern image FileOut(image, string file, string depth = \"\", string channels = \"\", "
        "string compression = \"\");",
        [this](const PXiScriptCall& call) {
            return fileOut(call.images.at(0), call.texts.at(0), call.texts.at(1), call.texts.at(2),
                           call.texts.at(3));
        });
}

PXiIPlug* Session::fileIn(const char* name) {
    const std::string file = textArg(name);
    if (file.empty()) throw UsageError("the file name is empty");
    auto node = std::make_unique<FileInNode>(SequencePattern(file), &m_readClock);
    node->setParent(PXiNode::getRoot());
    FileInNode* raw = node.release();
    m_inputs.push_back(raw);
    return raw->getOutput();
}

PXiIPlug* Session::fileOut(PXiIPlug* image, const char* name, const char* depth,
                           const char* channels, const char* compression) {
    const std::string file = textArg(name);
    if (!image) throw UsageError(file + ": no picture to write (the image argument is 0)");
    if (file.empty()) throw UsageError("the file name is empty");
    WriteOptions options;
    options.depth = parseDepthWord(textArg(depth));
    if (options.depth < 0)
        throw UsageError(file + ": unknown depth \"" + textArg(depth) +
                         "\" (use \"8\", \"16\", \"half\" or \"float\")");
    options.channels = textArg(channels);
    options.compression = textArg(compression);
    SequencePattern pattern(file);
    // Checks the format and the channel selection now, with the script's line and column.
    checkWritable(pattern.fileName(0), options);
    refuseSecondUse(pattern);
    m_outputs.push_back({image, pattern, options});
    return image;
}

void Session::protectFile(const std::string& path) {
    m_protected.push_back({identifyFile(path), path});
}

void Session::refuseSecondUse(const SequencePattern& pattern) const {
    // Names of the same kind (two stills, or two sequences) are compared by the file their
    // first frame reaches; a still against a sequence is checked frame by frame in planFrames.
    const std::string name = pattern.fileName(0);
    const FileIdentity id = identifyFile(name);
    for (const auto& file : m_protected)
        if (!pattern.isSequence() && file.first == id)
            throw UsageError(pattern.text() + ": is the script itself (" + file.second +
                             "); refusing to overwrite it");
    for (const FileInNode* in : m_inputs)
        if (in->pattern().isSequence() == pattern.isSequence() &&
            identifyFile(in->pattern().fileName(0)) == id)
            throw UsageError(pattern.text() + ": the script also reads this file (as " +
                             in->pattern().text() + "); refusing to overwrite an input");
    for (const Output& out : m_outputs)
        if (out.pattern.isSequence() == pattern.isSequence() &&
            identifyFile(out.pattern.fileName(0)) == id)
            throw UsageError(pattern.text() +
                             ": the script writes this file more than once (also as " +
                             out.pattern.text() + ")");
}

void Session::runScript(const std::string& text, const std::string& fileName) {
    const PXiScriptResult result = PXiRunScript(text, fileName, &m_scope);
    if (result.error) throw UsageError(result.error->what());
    if (m_outputs.empty())
        throw UsageError(fileName + ": the script writes no picture (use FileOut)");
}

std::vector<long> Session::planFrames(const std::string& framesOption) {
    std::vector<long> frames;
    if (!framesOption.empty()) {
        frames = parseFrameRange(framesOption);
    } else {
        for (const FileInNode* in : m_inputs)
            if (in->pattern().isSequence())
                throw UsageError(in->pattern().text() +
                                 ": names a sequence; give the frames to render with -t");
        for (const Output& out : m_outputs)
            if (out.pattern.isSequence())
                throw UsageError(out.pattern.text() +
                                 ": names a sequence; give the frames to render with -t");
        frames = {1};  // a still: the frame number appears in no name
    }
    if (frames.size() > 1)
        for (const Output& out : m_outputs)
            if (!out.pattern.isSequence())
                throw UsageError(out.pattern.text() + ": has no frame number, so each of the " +
                                 std::to_string(frames.size()) +
                                 " frames would overwrite it (use name.####.ext)");

    // No file may be both read and written, or written twice: an input overwritten by an
    // output would be lost, and a later frame might read a picture that this run wrote.
    // Files are compared by what they are (device and inode), not by how they are spelled.
    std::map<FileIdentity, std::string> reads;  // identity -> name as read
    for (const auto& file : m_protected) reads.emplace(file.first, file.second);
    for (long frame : frames) {
        for (const FileInNode* in : m_inputs) {
            if (in->pattern().isSequence() || frame == frames.front()) {
                const std::string name = in->pattern().fileName(frame);
                reads.emplace(identifyFile(name), name);
            }
        }
    }
    std::map<FileIdentity, std::string> writes;  // identity -> name as written
    for (long frame : frames) {
        for (const Output& out : m_outputs) {
            if (!out.pattern.isSequence() && frame != frames.front()) continue;
            const std::string name = out.pattern.fileName(frame);
            const FileIdentity id = identifyFile(name);
            const auto read = reads.find(id);
            if (read != reads.end())
                throw UsageError(name + ": the run also reads this file" +
                                 (read->second != name ? " (as " + read->second + ")" : "") +
                                 "; refusing to overwrite an input");
            const auto written = writes.emplace(id, name);
            if (!written.second)
                throw UsageError(name + ": the script writes this file more than once" +
                                 (written.first->second != name
                                      ? " (also as " + written.first->second + ")"
                                      : ""));
        }
    }
    for (const Output& out : m_outputs) checkOutputFolder(out.pattern.fileName(frames.front()));
    return frames;
}

void Session::renderFrame(long frame, FrameTimes& times) {
    for (FileInNode* in : m_inputs) in->setFrame(frame);
    const double readBefore = m_readClock.seconds;
    double rendering = 0;
    // A picture written to several files (the matte and the colours of one key) is rendered
    // once per frame.
    std::map<PXiIPlug*, std::pair<PXiIBuf, int>> rendered;  // picture and channel mask
    for (const Output& out : m_outputs) {
        const std::string name = out.pattern.fileName(frame);
        try {
            const auto done = rendered.find(out.image);
            if (done != rendered.end()) {
                const Clock::time_point writeStart = Clock::now();
                writeImage(name, viewOf(done->second.first, done->second.second), out.options);
                times.write += secondsSince(writeStart);
                m_written.push_back(name);
                continue;
            }
            const Clock::time_point start = Clock::now();
            PXiIBuf buffer;
            std::string messages;
            {
                StderrCaptureScope capture(*m_capture);
                buffer = PXiRenderImage(out.image);
                messages = capture.end();
            }
            // The keyer's engine reports a screen colour it cannot key with as a line of its
            // own; the picture would then be the unkeyed foreground, so the frame fails.
            std::string keyerError;
            size_t pos = 0;
            while (pos < messages.size()) {
                size_t nl = messages.find('\n', pos);
                if (nl == std::string::npos) nl = messages.size();
                const std::string line = messages.substr(pos, nl - pos);
                if (line.compare(0, 7, "Zephra:") == 0 && keyerError.empty())
                    keyerError = line;
                else if (!line.empty())
                    std::fprintf(stderr, "%s\n", line.c_str());
                pos = nl + 1;
            }
            if (!keyerError.empty()) throw RenderError("keyer error: " + keyerError);
            if (!buffer.getData())
                throw RenderError("the picture is empty (no input file gave it a size)");
            const int channels = out.image->getChannelsPlug()->asInt();
            const PXiIBuf& picture =
                rendered.emplace(out.image, std::make_pair(std::move(buffer), channels))
                    .first->second.first;
            rendering += secondsSince(start);
            const Clock::time_point writeStart = Clock::now();
            writeImage(name, viewOf(picture, channels), out.options);
            times.write += secondsSince(writeStart);
            m_written.push_back(name);
        } catch (const HostError& e) {
            // Messages about an input already name the file; others get the output's name.
            const std::string what = e.what();
            if (what.find(": ") != std::string::npos && what.compare(0, 13, "keyer error: ") != 0)
                throw HostError(e.exitStatus(), what);
            throw HostError(e.exitStatus(), name + ": " + what);
        } catch (const PXiError& e) {
            throw RenderError(name + ": " + e.what());
        } catch (const std::bad_alloc&) {
            throw RenderError(name + ": not enough memory to render the picture");
        }
    }
    times.read = m_readClock.seconds - readBefore;
    times.key = std::max(0.0, rendering - times.read);
}

int Session::render(const std::vector<long>& frames, Progress& progress, bool keepGoing) {
    AtomicOutputFile::removeTempFilesOnSignal();
    int status = kExitOk;
    for (long frame : frames) {
        FrameTimes times;
        try {
            renderFrame(frame, times);
            progress.frameDone(frame, times);
        } catch (const std::exception& e) {
            progress.clearLine();
            std::fprintf(stderr, "pxhost: frame %ld: %s\n", frame, e.what());
            progress.frameFailed(frame);
            status = kExitRender;
            const bool keyerError =
                std::string(e.what()).find("keyer error: ") != std::string::npos;
            // A keyer error comes from the parameters and would fail every frame alike.
            if (!keepGoing || keyerError) break;
        }
    }
    progress.finish();
    return status;
}

}  // namespace pxhost

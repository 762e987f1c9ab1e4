#include "app/Session.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "app/AtomicOutputFile.h"
#include "app/FileIdentity.h"
#include "app/FramePipeline.h"
#include "app/FrameRange.h"
#include "app/HostError.h"
#include "app/InstallLayout.h"
#include "app/ScriptFile.h"
#include "app/StderrCapture.h"
#include "sdk/base/PXiError.h"
#include "sdk/base/PXiStandardError.h"
#include "sdk/base/PXiThread.h"
#include "sdk/graph/PXiIPlug.h"
#include "sdk/graph/PXiNode.h"
#include "sdk/image/PXiRender.h"
#include "sdk/plugin/PXiPluginLoader.h"
#include "sdk/script/PXiScriptError.h"
#include "sdk/script/PXiScriptRunner.h"

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

// A text argument of a host function; an absent one reads as empty.
std::string textArg(const char* text) { return text ? text : ""; }

}  // namespace

Session::Session(int threads)
    : m_scope(PXiScope::getGlobal()), m_capture(std::make_unique<StderrCapture>()) {
    PXiThread::setThreadCount(threads);
    m_keyChecks.setHeldPictures(
        [this](PXiIPlug* image, RasterView& picture) { return heldPicture(image, picture); });
    declareHostFunctions();
}

Session::~Session() {
    m_keyChecks.endProbes();
    // Nodes the script made hang under the root node; end them while the plug-ins that made
    // some of them are still loaded.
    PXiNode::getRoot()->deleteChildren();
}

void Session::loadPlugins(const std::vector<std::string>& folders) {
    std::vector<std::string> all = folders;
    all.push_back(programFolder());
    // An installed program's plug-ins lie in the library folder beside its bin folder.
    all.push_back(programFolder() + "/" + kInstalledPluginFolder);
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
    declare(
        "extern image FileIn(string file, string colorspace = \"\", float headroom = 1, "
        "int frameOffset = 0);",
        [this](const PXiScriptCall& call) {
            return fileIn(call.texts.at(0), call.texts.at(1), call.texts.at(2), call.texts.at(3));
        });
    declare(
        "extern image FileOut(image, string file, string depth = \"\", string channels = \"\", "
        "string compression = \"\", string colorspace = \"\", int premultiply = 0, "
        "float headroom = 0);",
        [this](const PXiScriptCall& call) {
            PXiIPlug* image = fileOut(call.images.at(0), call.texts.at(0), call.texts.at(1),
                                      call.texts.at(2), call.texts.at(3));
            std::vector<float> plateHeadrooms;
            for (const FileInNode* in : m_inputs) plateHeadrooms.push_back(in->options().headroom);
            parseWriteExtras(textArg(call.texts.at(0)), textArg(call.texts.at(4)),
                             textArg(call.texts.at(5)), textArg(call.texts.at(6)), plateHeadrooms,
                             m_outputs.back().options);
            return image;
        });
}

PXiIPlug* Session::fileIn(const char* name, const char* colourSpace, const char* headroom,
                          const char* frameOffset) {
    const std::string file = textArg(name);
    if (file.empty()) throw UsageError("the file name is empty");
    const ReadOptions options =
        parseReadOptions(file, textArg(colourSpace), textArg(headroom), textArg(frameOffset));
    auto node =
        std::make_unique<FileInNode>(SequencePattern(scriptFile(file)), &m_readClock, options);
    node->setParent(PXiNode::getRoot());
    node->setRecycler([this](SampleStore&& used) { m_rasters.give(std::move(used)); });
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
    SequencePattern pattern(scriptFile(file));
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
    m_diagnostics.scriptWarnings(result.warnings);
    m_keyChecks.setCalls(result.calls);
    m_calls = result.calls;
    if (m_outputs.empty())
        throw UsageError(fileName + ": the script writes no picture (use FileOut)");
}

std::string Session::scriptFile(const std::string& name) const {
    return resolveScriptFile(m_scriptFolder, name);
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
                const std::string name = in->fileNameOf(frame);
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

// One frame as it passes the stages: the inputs read ahead, the pictures rendered, the files
// written and the time each stage took.
struct Session::FrameWork {
    struct Input {
        bool read = false;  // false: the input keeps the picture it has
        std::string fileName;
        std::string key;  // the file, and for a movie the frame (FileInNode::keyOf)
        Raster picture;
        std::exception_ptr failure;
    };
    struct Picture {
        PXiIBuf buffer;
        int channels = 0;
    };
    std::vector<Input> inputs;
    // Per output in script order: the picture it writes; several outputs of one picture share
    // it. Rendering stops at the first output that fails; its failure comes after the outputs
    // before it are written, as it would if each were written as soon as rendered.
    std::vector<std::shared_ptr<Picture>> pictures;
    std::vector<bool> toWrite;  // per picture: false when the frame hooks keep it unwritten
    // Per output, when the files are made in memory before they are written: the file, or
    // why it could not be made.
    struct File {
        bool made = false;  // false: written from the picture (a writer that writes only files)
        EncodedImage image;
        std::exception_ptr failure;
    };
    std::vector<File> files;
    std::exception_ptr renderFailure;
    std::vector<std::string> written;
    FrameTimes times;
};

namespace {

// Lets the inputs give their pictures to the frame's render (FileInNode::setGiving), and
// stops them however the render ends: other renders (the checks, the tuner) leave them be.
struct InputsGiving {
    const std::vector<FileInNode*>& inputs;
    explicit InputsGiving(const std::vector<FileInNode*>& in) : inputs(in) {
        for (FileInNode* input : inputs) input->setGiving(true);
    }
    ~InputsGiving() {
        for (FileInNode* input : inputs) input->setGiving(false);
    }
    InputsGiving(const InputsGiving&) = delete;
    InputsGiving& operator=(const InputsGiving&) = delete;
};

// Adds the output's name to a failure that does not already name a file.
[[noreturn]] void rethrowNamingOutput(const std::string& name) {
    try {
        throw;
    } catch (const KeyerError& e) {
        throw KeyerError(name + ": " + e.what(), e.kind());
    } catch (const HostError& e) {
        // Messages about an input already name the file; others get the output's name.
        const std::string what = e.what();
        if (what.find(": ") != std::string::npos) throw HostError(e.exitStatus(), what);
        throw HostError(e.exitStatus(), name + ": " + what);
    } catch (const PXiError& e) {
        throw RenderError(name + ": " + e.what());
    } catch (const std::bad_alloc&) {
        throw RenderError(name + ": not enough memory to render the picture");
    }
}

bool isUsageError(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const UsageError&) {
        return true;
    } catch (...) {
        return false;
    }
}

// A keyer error that comes from the parameters would fail every frame alike.
bool failsEveryFrame(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const KeyerError& e) {
        return e.failsEveryFrame();
    } catch (...) {
        return false;
    }
}

}  // namespace

PXiScriptResult Session::evaluate(const std::string& text, const std::string& fileName) {
    PXiScriptResult result = PXiRunScript(text, fileName, &m_scope);
    if (result.error) throw UsageError(result.error->what());
    return result;
}

KeyerError Session::keyerError(const PXiNodeFailure& failed) const {
    const PXiFillFailure& f = failed.failure;
    PXiNode* node = failed.node;
    // Placed at the script's call that made the node, when the script made it.
    for (const PXiScriptCallRecord& call : m_calls)
        if (call.result && call.result == node->getOutput())
            return KeyerError(
                PXiScriptError(call.file, call.pos, "keyer error: " + f.reason).what(), f.kind);
    return KeyerError("keyer error: " + f.reason + " (node " + node->getName().c_str() + ", " +
                          node->className().c_str() + ")",
                      f.kind);
}

void Session::setFrame(long frame) {
    for (FileInNode* in : m_inputs) in->setFrame(frame);
}

PXiIBuf Session::renderPicture(PXiIPlug* image) {
    PXiRenderBatch batch({image});
    return renderPicture(image, batch);
}

PXiIBuf Session::renderPicture(PXiIPlug* image, PXiRenderBatch& batch) {
    PXiIBuf buffer;
    PXiNodeFailures failures;
    // A node prints only under PXiStandardErrorLock, so a read may capture standard error
    // meanwhile.
    buffer = batch.render(image, &failures);
    // The first node that failed (the most upstream): the nodes after it only passed its
    // picture on.
    if (!failures.empty()) throw keyerError(failures.front());
    if (!buffer.getData()) throw RenderError("the picture is empty (no input file gave it a size)");
    return buffer;
}

bool Session::heldPicture(PXiIPlug* image, RasterView& picture) {
    for (FileInNode* in : m_inputs) {
        if (in->getOutput() != image) continue;
        const Raster& raster = in->picture();
        if (raster.samples.empty()) return false;
        picture = raster.view();
        return true;
    }
    return false;
}

void Session::readFrame(long frame, FrameWork& work) {
    const Clock::time_point start = Clock::now();
    m_readAhead.resize(m_inputs.size());
    work.inputs.resize(m_inputs.size());
    for (size_t i = 0; i < m_inputs.size(); ++i) {
        FrameWork::Input& input = work.inputs[i];
        input.fileName = m_inputs[i]->fileNameOf(frame);
        input.key = m_inputs[i]->keyOf(frame);
        if (input.key == m_readAhead[i]) continue;  // a still, read for an earlier frame
        m_readAhead[i] = input.key;
        input.read = true;
        // A reader that prints its own messages reads with standard error captured: a failed
        // read is reported as the frame's failure alone, and the messages of a good one are
        // passed on. Every other message of the program and its nodes waits for the capture
        // to end; the keying goes on meanwhile.
        std::unique_ptr<StderrCaptureScope> capture;
        if (readerPrintsMessages(input.fileName))
            capture = std::make_unique<StderrCaptureScope>(*m_capture);
        try {
            input.picture = m_inputs[i]->readFrame(frame, m_rasters.take());
        } catch (...) {
            input.failure = std::current_exception();
        }
        if (capture) {
            const std::string messages = capture->end();
            if (!input.failure) std::fputs(messages.c_str(), stderr);
        }
    }
    work.times.read = secondsSince(start);
}

void Session::keyFrame(long frame, FrameWork& work) {
    for (size_t i = 0; i < m_inputs.size(); ++i) {
        FileInNode* in = m_inputs[i];
        in->setFrame(frame);
        FrameWork::Input& input = work.inputs[i];
        if (!input.read) continue;
        if (input.failure)
            m_rasters.give(in->supplyFailure(input.key, input.failure));
        else
            m_rasters.give(in->supply(input.key, std::move(input.picture)));
    }
    if (m_hooks && !m_hooks->beginFrame(frame)) return;  // skipped: no picture, no file
    const double readBefore = m_readClock.seconds;
    const Clock::time_point start = Clock::now();
    // A picture written to several files (the matte and the colours of one key) is rendered
    // once per frame, and so is a node that several of the pictures show.
    std::map<PXiIPlug*, std::shared_ptr<FrameWork::Picture>> rendered;
    std::vector<PXiIPlug*> images;
    for (const Output& out : m_outputs)
        if (std::find(images.begin(), images.end(), out.image) == images.end())
            images.push_back(out.image);
    // The checks key small copies of the pictures the inputs hold, so they come before the
    // render, which may take those pictures over; their warnings are given once the frame has
    // rendered.
    const std::vector<PXiScriptError> warnings = checkKeys(m_keyChecks, frame);
    PXiRenderBatch batch(images);
    InputsGiving giving(m_inputs);
    for (const Output& out : m_outputs) {
        std::shared_ptr<FrameWork::Picture>& picture = rendered[out.image];
        if (!picture) {
            try {
                auto made = std::make_shared<FrameWork::Picture>();
                made->buffer = renderPicture(out.image, batch);
                made->channels = out.image->getChannelsPlug()->asInt();
                picture = std::move(made);
            } catch (...) {
                try {
                    rethrowNamingOutput(out.pattern.fileName(frame));
                } catch (...) {
                    work.renderFailure = std::current_exception();
                }
                break;
            }
        }
        work.pictures.push_back(picture);
        work.toWrite.push_back(
            !m_hooks || m_hooks->pictureRendered(viewOf(picture->buffer, picture->channels)));
    }
    if (!work.renderFailure) {
        // Not while a read captures standard error.
        const PXiStandardErrorLock printing;
        for (const PXiScriptError& w : warnings) m_diagnostics.frameWarning(w);
    }
    if (m_hooks && !work.renderFailure) m_hooks->frameKeyed(frame);
    const double readHere = m_readClock.seconds - readBefore;
    work.times.read += readHere;
    work.times.key = std::max(0.0, secondsSince(start) - readHere);
}

namespace {

// Gives a frame's picture back to the pool once its last output is done with it.
template <typename Picture>
void pictureDone(std::shared_ptr<Picture>& picture, RasterPool& pool) {
    if (picture && picture.use_count() == 1) pool.give(picture->buffer.release());
    picture.reset();
}

}  // namespace

void Session::encodeFrame(long frame, FrameWork& work) {
    if (!m_encoding) return;
    const Clock::time_point start = Clock::now();
    work.files.resize(work.pictures.size());
    for (size_t i = 0; i < work.pictures.size(); ++i) {
        if (!work.toWrite[i]) continue;
        const Output& out = m_outputs[i];
        FrameWork::File& file = work.files[i];
        file.image.bytes = m_fileBytes.take().samples;
        try {
            const FrameWork::Picture& picture = *work.pictures[i];
            file.made =
                encodeImage(out.pattern.fileName(frame), viewOf(picture.buffer, picture.channels),
                            out.options, file.image);
        } catch (...) {
            // Reported once the outputs before it are written, as a plain write would be.
            file.failure = std::current_exception();
            break;
        }
        if (file.made) pictureDone(work.pictures[i], m_rasters);
    }
    work.times.write = secondsSince(start);
}

void Session::writeFrame(long frame, FrameWork& work) {
    const Clock::time_point start = Clock::now();
    for (size_t i = 0; i < work.pictures.size(); ++i) {
        const Output& out = m_outputs[i];
        const std::string name = out.pattern.fileName(frame);
        FrameWork::File* file = i < work.files.size() ? &work.files[i] : nullptr;
        try {
            if (file && file->failure) std::rethrow_exception(file->failure);
            if (file && file->made) {
                storeImage(name, file->image);
            } else if (work.toWrite[i]) {
                const FrameWork::Picture& picture = *work.pictures[i];
                writeImage(name, viewOf(picture.buffer, picture.channels), out.options);
            }
        } catch (...) {
            rethrowNamingOutput(name);
        }
        work.written.push_back(name);
        if (file) m_fileBytes.give(std::move(file->image.bytes));
        // After the last file of a picture its samples go back to the pool for the reader.
        pictureDone(work.pictures[i], m_rasters);
    }
    work.times.write += secondsSince(start);
    if (work.renderFailure) std::rethrow_exception(work.renderFailure);
}

int Session::render(const std::vector<long>& frames, Progress& progress, bool keepGoing) {
    AtomicOutputFile::removeTempFilesOnSignal();
    int status = kExitOk;
    m_readAhead.clear();
    // Reading and writing files run beside the keying when there is more than one thread.
    // Compressing a file takes longer than any other stage of a frame, so compressed files are
    // made two frames at a time, which takes them off the path the frames wait on (one reader
    // thread bounds the run however many threads make files). Other files are written
    // straight from the picture, which more frames in flight would only hold longer.
    constexpr size_t kMostFramesEncoded = 2;
    const size_t threads = static_cast<size_t>(std::max(1, PXiThread::getThreadCount()));
    const bool compressed = std::any_of(m_outputs.begin(), m_outputs.end(), [&](const Output& out) {
        if (frames.empty()) return false;
        try {
            return writesCompressed(out.pattern.fileName(frames.front()), out.options);
        } catch (const HostError&) {
            return false;  // the output's first write reports it, naming the frame
        }
    });
    const size_t encoders = threads > 1 && compressed ? std::min(threads, kMostFramesEncoded) : 0;
    m_encoding = encoders > 0;
    m_rasters.setLimit(framesInFlight(encoders) * m_inputs.size());
    m_fileBytes.setLimit(framesInFlight(encoders) * m_outputs.size());
    std::exception_ptr scriptError;
    FramePipeline<FrameWork>::Stages stages;
    stages.read = [this](long frame, FrameWork& work) { readFrame(frame, work); };
    stages.key = [this](long frame, FrameWork& work) { keyFrame(frame, work); };
    stages.encode = [this](long frame, FrameWork& work) { encodeFrame(frame, work); };
    stages.write = [this](long frame, FrameWork& work) { writeFrame(frame, work); };
    stages.finished = [&](long frame, FrameWork& work, std::exception_ptr failure) {
        // Not while a read captures standard error, which would take the report with it.
        const PXiStandardErrorLock printing;
        m_written.insert(m_written.end(), work.written.begin(), work.written.end());
        if (!failure && m_hooks) {
            try {
                m_hooks->frameDone(frame);
            } catch (...) {
                failure = std::current_exception();
            }
        }
        if (!failure) {
            progress.frameDone(frame, work.times);
            return;
        }
        progress.clearLine();
        try {
            std::rethrow_exception(failure);
        } catch (const UsageError&) {
            scriptError = failure;  // a warning that --strict makes an error: reported below
            return;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "pxhost: frame %ld: %s\n", frame, e.what());
        } catch (...) {
            std::fprintf(stderr, "pxhost: frame %ld: unknown error\n", frame);
        }
        progress.frameFailed(frame);
        status = kExitRender;
    };
    stages.endsRun = [keepGoing](const std::exception_ptr& failure) {
        return !keepGoing || failsEveryFrame(failure) || isUsageError(failure);
    };
    FramePipeline<FrameWork>::run(frames, stages, threads > 1, encoders);
    progress.finish();
    m_rasters.clear();
    m_fileBytes.clear();
    // It ends the run as a script error.
    if (scriptError) std::rethrow_exception(scriptError);
    return status;
}

}  // namespace pxhost

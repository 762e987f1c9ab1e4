#include "app/Verify.h"

#include <cstdio>
#include <set>

#include "app/FrameChunks.h"
#include "app/FrameDigest.h"
#include "app/FrameHooks.h"
#include "app/FrameRange.h"
#include "app/HostError.h"
#include "app/Options.h"
#include "app/ScriptFile.h"
#include "app/Session.h"

namespace pxhost {
namespace {

constexpr size_t kShownDigits = 16;  // enough of a digest to tell two apart in a report

struct VerifyRequest {
    std::string digestPath;
    Options render;
    bool scriptGiven = false;
};

VerifyRequest parseRequest(int argc, const char* const* argv) {
    VerifyRequest request;
    std::vector<std::string> rest = {"pxhost"};
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-t" || arg == "--frames" || arg == "--threads" || arg == "--plugin-dir") {
            rest.push_back(arg);
            if (i + 1 < argc) rest.push_back(argv[++i]);
        } else if (!arg.empty() && arg[0] == '-') {
            rest.push_back(arg);
        } else if (request.digestPath.empty()) {
            request.digestPath = arg;
        } else {
            rest.push_back(arg);
            request.scriptGiven = true;
        }
    }
    if (request.digestPath.empty()) throw UsageError("verify: give the digest file");
    // The script is settled once the records are read; a stand-in lets the options parse.
    if (!request.scriptGiven) rest.push_back("-");
    std::vector<const char*> args;
    for (const std::string& a : rest) args.push_back(a.c_str());
    request.render = parseOptions(static_cast<int>(args.size()), args.data());
    if (request.render.mode != Options::Mode::Script)
        throw UsageError("verify: give a script file (not -e, --demo, --help)");
    return request;
}

std::string shortDigest(const std::string& hex) { return hex.substr(0, kShownDigits) + "..."; }

// Re-keys each frame without writing it and compares the frame's record with the one given.
class Verifier : public FrameHooks {
public:
    Verifier(const Session& session, const DigestFile& recorded)
        : m_hasher(session), m_recorded(recorded) {}

    bool beginFrame(long frame) override {
        m_hasher.begin(frame);
        return true;
    }
    bool pictureRendered(const RasterView& picture) override {
        m_hasher.addPicture(picture);
        return false;
    }
    void frameDone(long) override {}
    void frameKeyed(long frame) override {
        const DigestRecord& was = m_recorded.frames.at(frame);
        const DigestRecord now = m_hasher.finish(was.script);
        ++m_compared;
        const struct {
            const char* what;
            const std::string& was;
            const std::string& now;
        } parts[] = {
            {"input pixels (the input files changed since the render)", was.inputs, now.inputs},
            {"parameters (the script or its plug-in changed since the render)", was.params,
             now.params},
            {"output pixels", was.outputs, now.outputs},
        };
        bool same = true;
        for (const auto& part : parts) {
            if (part.was == part.now) continue;
            std::printf("frame %ld: %s differ: recorded %s, re-keyed %s\n", frame, part.what,
                        shortDigest(part.was).c_str(), shortDigest(part.now).c_str());
            same = false;
        }
        if (!same) ++m_mismatches;
    }

    long compared() const { return m_compared; }
    long mismatches() const { return m_mismatches; }

private:
    FrameHasher m_hasher;
    const DigestFile& m_recorded;
    long m_compared = 0;
    long m_mismatches = 0;
};

}  // namespace

int runVerify(int argc, const char* const* argv) {
    VerifyRequest request = parseRequest(argc, argv);
    const DigestFile recorded = readDigestFile(request.digestPath);
    if (recorded.frames.empty()) throw UsageError(request.digestPath + ": holds no digest records");
    std::vector<long> sample;
    if (request.render.frames.empty())
        for (const auto& entry : recorded.frames) sample.push_back(entry.first);
    else
        sample = parseFrameRange(request.render.frames);

    std::vector<long> frames;
    std::vector<long> unrecorded;
    std::set<std::string> scripts;
    for (long frame : sample) {
        const auto record = recorded.frames.find(frame);
        if (record == recorded.frames.end()) {
            unrecorded.push_back(frame);
            continue;
        }
        frames.push_back(frame);
        scripts.insert(record->second.script);
    }
    if (!unrecorded.empty())
        std::printf("frames without a digest record: %s\n", frameListText(unrecorded).c_str());
    if (!request.scriptGiven) {
        if (scripts.size() > 1)
            throw UsageError(request.digestPath +
                             ": the sampled frames were rendered by several scripts; name "
                             "the script to verify with");
        if (scripts.empty() || *scripts.begin() == "-" || *scripts.begin() == "-e")
            throw UsageError(request.digestPath +
                             ": the records name no script file; name the script to verify with");
        request.render.scriptPath = *scripts.begin();
    }

    int status = unrecorded.empty() ? kExitOk : kExitRender;
    if (!frames.empty()) {
        Session session(request.render.threads);
        session.loadPlugins(request.render.pluginDirs);
        session.setScriptFolder(scriptFolder(request.render.scriptPath));
        session.runScript(readScriptFile(request.render.scriptPath), request.render.scriptPath);
        session.planFrames(frameListText(frames));
        Verifier verifier(session, recorded);
        session.setFrameHooks(&verifier);
        Progress progress(stderr, static_cast<long>(frames.size()), false, request.render.verbose);
        if (session.render(frames, progress, true) != kExitOk) status = kExitRender;
        const long failed = static_cast<long>(frames.size()) - verifier.compared();
        if (verifier.mismatches() > 0) status = kExitRender;
        std::printf(
            "verified %ld of %zu frames: %ld match, %ld differ%s\n", verifier.compared(),
            sample.size(), verifier.compared() - verifier.mismatches(), verifier.mismatches(),
            failed > 0 ? (", " + std::to_string(failed) + " failed to render").c_str() : "");
    }
    std::fflush(stdout);
    return status;
}

}  // namespace pxhost

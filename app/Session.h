#pragma once
// One run of the host program: the plug-ins, the script's scope with the host's own functions
// (FileIn, FileOut), the pictures the script reads and writes, and the frame loop.

#include <memory>
#include <string>
#include <vector>

#include "app/FileIdentity.h"
#include "app/FileInNode.h"
#include "app/ImageFile.h"
#include "app/Progress.h"
#include "app/SequencePattern.h"
#include "sdk/PXiCmplr.h"

class PXiIPlug;

namespace pxhost {

class StderrCapture;

class Session {
public:
    // threads: the host's thread count (0: one per processor).
    explicit Session(int threads);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Loads the plug-ins (lib*_lx.so) of each folder in order, then those next to the program;
    // a library already loaded under the same file name from an earlier folder is skipped, so
    // --plugin-dir overrides the program's own. Failures are reported on standard error (one
    // line each) and do not stop the program: a script that needs the plug-in then fails.
    void loadPlugins(const std::vector<std::string>& folders);

    // Makes a picture available to scripts under a name (the demo's generated pictures).
    void addPicture(const std::string& name, PXiIPlug* image);

    // A file the run reads besides its pictures (the script): no output may replace it.
    void protectFile(const std::string& path);

    // Runs the script text; it declares the pictures to read and write. Throws UsageError with
    // "file:line:column: message" for an error in the script.
    void runScript(const std::string& text, const std::string& fileName);

    // Decides the frames and checks everything that can be checked before rendering: frame
    // numbers where sequences need them, output names (format, folder), and that no file is
    // both read and written, or written twice. framesOption: -t as given, or empty.
    // Throws UsageError (or RenderError for an output folder) naming the file.
    std::vector<long> planFrames(const std::string& framesOption);

    // Renders every frame, writing every FileOut of the script per frame. Returns the exit
    // status: 0, or 1 when a frame failed (reported on standard error, naming the frame and
    // file). keepGoing: go on after a failed frame.
    int render(const std::vector<long>& frames, Progress& progress, bool keepGoing);

    // The files written by the last render, in order.
    const std::vector<std::string>& writtenFiles() const { return m_written; }

private:
    struct Output {
        PXiIPlug* image;
        SequencePattern pattern;
        WriteOptions options;
    };

    void declareHostFunctions();
    PXiIPlug* fileIn(const char* name);
    PXiIPlug* fileOut(PXiIPlug* image, const char* name, const char* depth, const char* channels,
                      const char* compression);
    void renderFrame(long frame, FrameTimes& times);
    // Refuses, at the FileOut call, an output that reaches a file already read or written.
    void refuseSecondUse(const SequencePattern& pattern) const;

    PXiScope m_scope;
    std::vector<FileInNode*> m_inputs;  // owned by the root node
    std::vector<Output> m_outputs;
    std::vector<std::pair<FileIdentity, std::string>> m_protected;  // with the name given
    std::vector<std::string> m_written;
    ReadClock m_readClock;
    std::unique_ptr<StderrCapture> m_capture;
};

}  // namespace pxhost

#pragma once
// One run of the host program: the plug-ins, the script's scope with the host's own functions
// (FileIn, FileOut), the pictures the script reads and writes, and the frame loop.

#include <memory>
#include <string>
#include <vector>

#include "app/Diagnostics.h"
#include "app/FileIdentity.h"
#include "app/FileInNode.h"
#include "app/FrameHooks.h"
#include "app/HostError.h"
#include "app/ImageFile.h"
#include "app/KeyChecks.h"
#include "app/Progress.h"
#include "app/RasterPool.h"
#include "app/SequencePattern.h"
#include "sdk/image/PXiImage.h"
#include "sdk/script/PXiCmplr.h"
#include "sdk/script/PXiScriptRunner.h"

class PXiIPlug;
class PXiRenderBatch;

namespace pxhost {

class StderrCapture;

class Session {
public:
    // threads: the host's thread count (0: one per processor).
    explicit Session(int threads);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Loads the plug-ins (lib*_lx.so) of each folder in order, then those next to the program,
    // then those of an installed program's library folder (InstallLayout.h);
    // a library already loaded under the same file name from an earlier folder is skipped, so
    // --plugin-dir overrides the program's own. Failures are reported on standard error (one
    // line each) and do not stop the program: a script that needs the plug-in then fails.
    void loadPlugins(const std::vector<std::string>& folders);

    // Makes a picture available to scripts under a name (the demo's generated pictures).
    void addPicture(const std::string& name, PXiIPlug* image);

    // A file the run reads besides its pictures (the script): no output may replace it.
    void protectFile(const std::string& path);
    // Warnings become errors (--strict).
    void setStrict(bool strict) { m_diagnostics.setStrict(strict); }
    // The folder that relative file names of the script are taken from (the script file's
    // folder); empty: the current folder.
    void setScriptFolder(const std::string& folder) { m_scriptFolder = folder; }

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

    // Runs script text in the session's scope without requiring it to write anything, and
    // returns the pictures it assigned to names. Throws UsageError for an error in the script.
    PXiScriptResult evaluate(const std::string& text, const std::string& fileName);

    // Points every FileIn of the session at the file of a frame (read when first needed).
    void setFrame(long frame);

    // Renders a picture of the session's graph in memory, as a frame's render would before
    // writing it. Throws KeyerError when a node reports that it could not make its picture,
    // RenderError for an empty picture.
    PXiIBuf renderPicture(PXiIPlug* image);

    // The files written by the last render, in order.
    const std::vector<std::string>& writtenFiles() const { return m_written; }

    // Steps around each frame (see FrameHooks.h); null for none. Not owned.
    void setFrameHooks(FrameHooks* hooks) { m_hooks = hooks; }

    struct Output {
        PXiIPlug* image;
        SequencePattern pattern;
        WriteOptions options;
    };
    // The script's FileIn and FileOut calls, in order.
    const std::vector<FileInNode*>& inputs() const { return m_inputs; }
    const std::vector<Output>& outputs() const { return m_outputs; }

private:
    void declareHostFunctions();
    PXiIPlug* fileIn(const char* name, const char* colourSpace, const char* headroom,
                     const char* frameOffset);
    PXiIPlug* fileOut(PXiIPlug* image, const char* name, const char* depth, const char* channels,
                      const char* compression);
    void renderFrame(long frame, FrameTimes& times);
    // Refuses, at the FileOut call, an output that reaches a file already read or written.
    void refuseSecondUse(const SequencePattern& pattern) const;
    struct FrameWork;
    void readFrame(long frame, FrameWork& work);
    void keyFrame(long frame, FrameWork& work);
    void encodeFrame(long frame, FrameWork& work);
    void writeFrame(long frame, FrameWork& work);
    // The picture of an image that is a FileIn's, as read (see HeldPicture).
    bool heldPicture(PXiIPlug* image, RasterView& picture);

    // One picture of a frame's batch (see PXiRenderBatch), checked as renderPicture does.
    PXiIBuf renderPicture(PXiIPlug* image, PXiRenderBatch& batch);
    // The error for a node that reported a failed fill, placed at its call in the script.
    KeyerError keyerError(const PXiNodeFailure& failed) const;

    // A file name of the script as the program opens it.
    std::string scriptFile(const std::string& name) const;

    PXiScope m_scope;
    std::string m_scriptFolder;
    Diagnostics m_diagnostics;
    KeyChecks m_keyChecks;
    std::vector<PXiScriptCallRecord> m_calls;  // the script's calls, to place node failures
    std::vector<FileInNode*> m_inputs;         // owned by the root node
    std::vector<Output> m_outputs;
    std::vector<std::pair<FileIdentity, std::string>> m_protected;  // with the name given
    std::vector<std::string> m_written;
    std::vector<std::string> m_readAhead;  // per input: the file the reader stage last read
    ReadClock m_readClock;                 // reading done by the inputs themselves
    RasterPool m_rasters;                  // inputs' pictures given back, read into again
    RasterPool m_fileBytes;                // stores of files made in memory, made into again
    bool m_encoding = false;               // whether frames' files are made in memory first
    std::unique_ptr<StderrCapture> m_capture;
    FrameHooks* m_hooks = nullptr;
};

}  // namespace pxhost

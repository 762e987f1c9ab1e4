#pragma once
// The source node behind the script function FileIn: one image file, or one frame of an image
// sequence, read through the image library with its samples as stored.

#include <exception>
#include <functional>
#include <string>

#include "app/PictureOptions.h"
#include "app/Raster.h"
#include "app/SequencePattern.h"
#include "sdk/graph/PXiNode.h"
#include "sdk/graph/PXiPictureSource.h"

namespace pxhost {

// Time spent reading files, summed over the nodes of a run (the -v timings).
struct ReadClock {
    double seconds = 0;
};

class FileInNode : public PXiNadic, public PXiPictureSource {
public:
    FileInNode(const SequencePattern& pattern, ReadClock* clock,
               const ReadOptions& options = ReadOptions());
    ~FileInNode() override;

    const SequencePattern& pattern() const { return m_pattern; }
    const ReadOptions& options() const { return m_options; }
    // The file that frame `frame` of the render reads (the frame offset applied).
    std::string fileNameOf(long frame) const;
    // Picks the file of a frame. Nothing is read until the picture is needed; setting the
    // frame of another file makes everything downstream stale.
    void setFrame(long frame);
    // The file of the current frame.
    const std::string& fileName() const { return m_fileName; }
    // What names the picture of a frame: its file, and for a movie also the frame.
    std::string keyOf(long frame) const;
    // Reads the picture of a frame with the node's options, into `recycled` when it can;
    // touches nothing of the node, so another thread may read ahead with it.
    Raster readFrame(long frame, Raster recycled = Raster()) const;
    // Hands over the picture of a frame read ahead on another thread (named by keyOf), or the
    // failure of reading it (raised when the picture is needed, as a failed read here would be).
    // Both give back the picture the node held before, for reuse.
    Raster supply(const std::string& key, Raster&& picture);
    Raster supplyFailure(const std::string& key, std::exception_ptr failure);

    // While on, a render of the whole picture takes the picture over from the node instead of
    // having a buffer filled and copying the picture into it (PXiPictureSource); the node
    // reads its file again should it be asked for the picture after that. Only a sequence or
    // a movie gives its picture away: a still, which serves every frame, gives a copy. Off by
    // default, as the tuner renders one frame many times.
    void setGiving(bool giving) { m_giving = giving; }
    // Where the samples of a given picture go once the render is done with them (a pool the
    // reader fills again); without one they are freed.
    void setRecycler(std::function<void(SampleStore&&)> recycler) {
        m_recycler = std::move(recycler);
    }
    PXiIBuf givePicture(const PXiIRect& region, int depth) override;
    void takeBack(PXiIBuf&& used) override;

    int eval(PXiPlug* plug) override;
    void fillOutputBuffer() override;
    const PXiName& className() const override;

    // The current file's samples as read; reads the file unless it is already in memory.
    const Raster& picture();

private:
    SequencePattern m_pattern;
    ReadOptions m_options;
    ReadClock* m_clock;
    PXiPlug* m_file;  // the current file name; the output's plugs depend on it
    std::string m_fileName;
    bool m_movie;             // the file is a movie: the frame picks its picture
    long m_frame = 1;         // the frame of a sequence or movie to read, offset applied
    std::string m_key;        // the file, and for a movie the frame
    std::string m_loadedKey;  // the picture m_raster holds, or whose reading failed
    Raster m_raster;
    std::exception_ptr m_failure;
    PXiBPixel m_bpixel;  // outside the picture: zero
    // Whether the picture changes from frame to frame, so that a render may have it.
    bool givesItsPicture() const { return m_pattern.isSequence() || m_movie; }

    bool m_giving = false;
    PXiSampleStore m_spare;  // a still's copy given back, to copy into next frame
    std::function<void(SampleStore&&)> m_recycler;
};

}  // namespace pxhost

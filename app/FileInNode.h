#pragma once
// The source node behind the script function FileIn: one image file, or one frame of an image
// sequence, read through the image library with its samples as stored.

#include <exception>
#include <string>

#include "app/Raster.h"
#include "app/SequencePattern.h"
#include "sdk/PXiNode.h"

namespace pxhost {

// Time spent reading files, summed over the nodes of a run (the -v timings).
struct ReadClock {
    double seconds = 0;
};

class FileInNode : public PXiNadic {
public:
    FileInNode(const SequencePattern& pattern, ReadClock* clock);
    ~FileInNode() override;

    const SequencePattern& pattern() const { return m_pattern; }
    // Picks the file of a frame. Nothing is read until the picture is needed; setting the
    // frame of another file makes everything downstream stale.
    void setFrame(long frame);
    // The file of the current frame.
    const std::string& fileName() const { return m_fileName; }
    // Hands over the picture of a file read ahead on another thread, or the failure of reading
    // it (raised when the picture is needed, as a failed read here would be).
    void supply(const std::string& fileName, Raster&& picture);
    void supplyFailure(const std::string& fileName, std::exception_ptr failure);

    int eval(PXiPlug* plug) override;
    void fillOutputBuffer() override;
    const PXiName& className() const override;

    // The current file's samples as read; reads the file unless it is already in memory.
    const Raster& picture();

private:
    SequencePattern m_pattern;
    ReadClock* m_clock;
    PXiPlug* m_file;  // the current file name; the output's plugs depend on it
    std::string m_fileName;
    std::string m_loadedName;  // the file m_raster holds, or whose reading failed
    Raster m_raster;
    std::exception_ptr m_failure;
    PXiBPixel m_bpixel;  // outside the picture: zero
};

}  // namespace pxhost

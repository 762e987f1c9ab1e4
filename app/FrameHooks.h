#pragma once
// Steps a render takes around each frame on behalf of options that are not about keying:
// skipping finished frames (--skip-existing), recording digests (--digest), re-keying without
// writing (verify).

#include "app/Raster.h"

namespace pxhost {

class FrameHooks {
public:
    virtual ~FrameHooks() = default;
    // Before a frame is rendered. Returns false to skip it. May throw HostError, which fails
    // the frame like a render error.
    virtual bool beginFrame(long frame) = 0;
    // For each picture of the frame, in the order of the script's FileOut calls, before it is
    // written. Returns false to leave the file unwritten.
    virtual bool pictureRendered(const RasterView& picture) = 0;
    // After every picture of the frame was rendered. beginFrame, pictureRendered and
    // frameKeyed run on the thread that keys, one frame after another.
    virtual void frameKeyed(long frame) = 0;
    // After every picture of a frame that was keyed (not skipped) was written; may run on
    // another thread, while the next frame is keyed.
    virtual void frameDone(long frame) = 0;
};

}  // namespace pxhost

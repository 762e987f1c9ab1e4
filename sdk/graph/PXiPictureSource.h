#pragma once

#include "sdk/image/PXiImage.h"

// A source node (one without inputs) that holds its picture in memory can give it to the render
// driver instead of having a buffer filled with its background pixel and copying the picture
// into it: for a whole frame that is two picture-sized passes over memory saved per source. A
// node class derives from this beside PXiNadic; the driver finds it with dynamic_cast.
class PXiPictureSource {
public:
    PXiPictureSource() = default;
    PXiPictureSource(const PXiPictureSource&) = delete;
    PXiPictureSource& operator=(const PXiPictureSource&) = delete;

    // The node's samples over `region` at `depth`, exactly as fillOutputBuffer would leave them
    // in a buffer the driver prepared, given away: the driver keeps the buffer and the nodes
    // downstream may write into it. A buffer without data when the node cannot give them so
    // (another region, another depth, a picture it does not hold, or giving is off); the
    // driver then renders the node as any other. Giving a picture away replaces bgnExec,
    // fillOutputBuffer and endExec for that render.
    virtual PXiIBuf givePicture(const PXiIRect& region, int depth) = 0;
    // A buffer of this node's picture (given or rendered, perhaps converted) that the node it
    // fed no longer needs: its samples may serve a later picture. The default drops it.
    virtual void takeBack(PXiIBuf&& used) { (void)used; }

protected:
    ~PXiPictureSource() = default;
};

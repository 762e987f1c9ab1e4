#pragma once

#include <memory>
#include <vector>

#include "sdk/graph/PXiFillFailure.h"
#include "sdk/graph/PXiIPlug.h"
#include "sdk/image/PXiImage.h"

// The render driver: produces the samples of an image plug over a region.
//
// For the output of a node (a PXiNadic) it sets the output's requested channels and region of
// interest, asks the output for its description, channels, width, height, depth and
// background pixel (so the node's eval brings everything up to date), renders each connected
// input over the same region with the channels the input requests, converts each to the
// node's depth (8 -> 16 bit multiplies by 257, float -> 16 bit clamps and rounds), places
// input 0 in buffer 0 (for a node without inputs: a buffer filled with the output's background
// pixel; for an unconnected input 0: a buffer without data), calls bgnExec, fillOutputBuffer
// and endExec, and returns buffer 0 converted to the output's depth. When buffer 0 still has
// no data, the result is the output's background pixel over the region.
//
// A source node that is a PXiPictureSource is first asked to give its picture over the region
// at its depth; when it does, that picture is the node's render (no buffer filled, no fill
// called). The pictures of the inputs other than input 0 go back to their source (takeBack)
// when it is a PXiPictureSource, once the node's fill has ended.
//
// An input image plug renders what is connected to it; an unconnected one gives a buffer
// without data. An empty region gives a buffer without data.
//
// The result has 4 samples per pixel (A, B, G, R) and rows padded as PXiIBuf does. Throws
// PXiError for a node that cannot render (not a PXiNadic, a depth other than 1, 2 or 4, a
// graph that feeds itself, a region too large to hold); exceptions of nodes pass through.
// Within one call each node is rendered once, however many paths lead to it: a picture that
// several inputs show is rendered with every channel and kept until the last of them has
// taken it (the others get copies).
// One render of a given node at a time.
//
// failures, when given, receives every node of the render whose fill reported that it did not
// make its picture (PXiNode::fillFailure), in the order filled (upstream first). The picture
// is returned as the nodes made it all the same: what to do with it is the caller's choice.
PXiIBuf PXiRenderImage(PXiIPlug* image, const PXiIRect& region, int channels = PXiChanAll,
                       PXiNodeFailures* failures = nullptr);
// The whole image: region (0, 0, width, height).
PXiIBuf PXiRenderImage(PXiIPlug* image, PXiNodeFailures* failures = nullptr);

// Several images of one graph rendered as one, as a frame with several outputs needs them: a
// node that more than one of the images shows, directly or upstream, is rendered once for all
// of them, as within one PXiRenderImage, and its picture is held until the last image that
// shows it has been rendered. Make one batch per frame with every image the frame writes
// (each once), then render each of them (whole, every channel) in any order. After a render
// that throws, later ones still give the right picture, perhaps rendering nodes again.
class PXiRenderBatch {
public:
    explicit PXiRenderBatch(const std::vector<PXiIPlug*>& images);
    ~PXiRenderBatch();
    PXiRenderBatch(const PXiRenderBatch&) = delete;
    PXiRenderBatch& operator=(const PXiRenderBatch&) = delete;

    // One of the batch's images over (0, 0, width, height); as PXiRenderImage otherwise.
    PXiIBuf render(PXiIPlug* image, PXiNodeFailures* failures = nullptr);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

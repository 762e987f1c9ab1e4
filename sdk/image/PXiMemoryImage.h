#pragma once

#include "sdk/graph/PXiNode.h"

// A source node holding its pixels in memory: width x height pixels of 4 interleaved samples
// (A, B, G, R) at depth 1, 2 or 4, rows packed (4 * width samples apart), row 0 first. Its
// output has these width, height, depth and channels, the background pixel set with
// setBPixel (zero by default), the domain of definition set with setDod (the whole image by
// default) and a description set with setDescription ("Image(WxH)" by default). Rendering
// gives its pixels inside both the image and the domain of definition, and the background
// pixel everywhere else. Registered as class "PXiMemoryImage" (parent "PXiNadic").
class PXiMemoryImage : public PXiNadic {
public:
    // Throws PXiError for a negative size, a depth other than 1, 2 or 4, or a size too large.
    PXiMemoryImage(int width, int height, int depth, int channels = PXiChanAll);
    PXiMemoryImage();  // 0 x 0, depth 1
    ~PXiMemoryImage() override;

    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    int getImageDepth() const { return m_depth; }
    // The samples; change them freely (call touch() afterwards when the node was rendered).
    void* getPixels() { return m_image.getData(); }
    const void* getPixels() const { return m_image.getData(); }
    // Sets one pixel from floats 0..1 (converted like a background pixel).
    void setPixel(int x, int y, const PXiBPixel& value);
    // Reads one pixel as floats (0..1 for integer depths).
    PXiBPixel getPixel(int x, int y) const;

    void setBPixel(const PXiBPixel& bp);
    void setDod(const PXiIRect& dod);
    void setDescription(const char* description);
    void setChannels(int channels);
    // Tells downstream nodes that the pixels changed.
    void touch();

    void fillOutputBuffer() override;
    PXiNode* instantiate() const override;
    const PXiName& className() const override;

    static PXiName thisClassName;

private:
    int m_width, m_height, m_depth;
    PXiIBuf m_image;  // the pixels, rows packed
    PXiBPixel m_bpixel;
    PXiName m_description;
};

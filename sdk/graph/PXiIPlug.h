#pragma once

#include <memory>

#include "sdk/graph/PXiPlug.h"
#include "sdk/image/PXiImage.h"

// An image plug: a node's input or output image. Its properties are member plugs of the same
// node, evaluated like any plug (the node's eval answers them):
//   width, height      int, image size in pixels
//   depth              int, bytes per sample: 1, 2 or 4 (float)
//   channels           int channel mask (A 1, B 2, G 4, R 8): the channels the image has
//   requested channels int channel mask: the channels needed downstream
//   background pixel   pointer: address of a PXiBPixel, the colour outside the image's data
//   description        string: the image's description (for inputs: the upstream's)
// An input image plug connected to an upstream image plug takes every property but the
// requested channels from it. An input with nothing connected has width and height 0, depth 1,
// no channels, a zero background pixel, the description "0" and an empty domain of definition.
class PXiIPlug : public PXiPlug {
public:
    PXiIPlug(PXiNode* node, const PXiName& name, int io);
    ~PXiIPlug() override;

    PXiPlug* getWidthPlug() const { return m_width.get(); }
    PXiPlug* getHeightPlug() const { return m_height.get(); }
    PXiPlug* getDepthPlug() const { return m_depth.get(); }
    PXiPlug* getChannelsPlug() const { return m_channels.get(); }
    PXiPlug* getReqChannelsPlug() const { return m_reqChannels.get(); }
    PXiPlug* getBPixelPlug() const { return m_bpixel.get(); }
    PXiPlug* getDescriptionPlug() const { return m_description.get(); }

    // Domain of definition: where the image has data. For a connected input, the upstream's.
    // Otherwise the rectangle set with setDod, or by default (0, 0, width, height) - for an
    // unconnected input the empty rectangle.
    PXiIRect getDod();
    void setDod(const PXiIRect& dod);
    // Region of interest: the part of the image being rendered, set by the render driver.
    // Until set: (0, 0, width, height).
    PXiIRect getRoi();
    void setRoi(const PXiIRect& roi);

    // The background pixel (all zero when the plug holds no pixel).
    void getBPixel(PXiBPixel& out);
    PXiBPixel getBPixel();

    // connect(upstream image plug): take the image from it (nullptr disconnects). Throws
    // PXiError when upstream is no image plug or the connection would close a cycle.
    int connect(PXiPlug* upstream) override;
    // detach(nullptr) or detach(the upstream): disconnects the image.
    int detach(PXiPlug* plug) override;
    // The upstream image plug, or null.
    PXiIPlug* getUpstreamImage() const;

private:
    std::unique_ptr<PXiPlug> m_width, m_height, m_depth, m_channels, m_reqChannels, m_bpixel,
        m_description;
    PXiIRect m_dod, m_roi;
    bool m_hasDod = false, m_hasRoi = false;
};

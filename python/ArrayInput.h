#pragma once

// Pictures given as numpy arrays, turned into the images of a keyer tile the way the host
// program turns picture files into the node's input buffers: a 2-D array (or one channel) is
// grey and stands for R, G, B and alpha alike; two channels are grey and alpha; three are
// R, G, B without alpha; four are R, G, B, A. A channel the picture lacks reads as 0. Images
// of 8-bit samples keyed together with 16-bit ones are widened (v * 257), as the host widens
// them. Float pictures (and any picture given a headroom) are keyed at 16 bits, their samples
// converted as the host program converts a float file (see ColourScale).
//
// An ArrayInput is captured while the interpreter lock is held; everything after that runs
// without it.

#include <pybind11/numpy.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/Ztile.h"

namespace zephra_python {

namespace py = pybind11;

// str(object) as Python gives it, for messages.
std::string textOf(const py::handle& object);

// One picture: its array (kept alive), its sample address and layout in samples.
struct ArrayInput {
    py::array array;
    char* data = nullptr;
    int height = 0;
    int width = 0;
    int channels = 0;  // 1 for a 2-D array
    int bytes = 1;     // 1 (uint8), 2 (uint16) or 4 (float32)
    bool floating = false;
    // Byte strides of rows, pixels and channels.
    std::ptrdiff_t rowStride = 0;
    std::ptrdiff_t pixelStride = 0;
    std::ptrdiff_t channelStride = 0;
};

// Checks and captures `object` as a picture for the role named `role` ("fg", "holdout"...):
// a uint8, uint16 or floating-point array of shape (height, width) or (height, width, 1..4).
// Floats of another width than 32 bits are converted to float32 first, as a float file is read.
// Raises TypeError for another type or dtype and ValueError for another shape, naming the role.
ArrayInput captureArray(const py::handle& object, const char* role);

// How a picture's R, G and B reach a 16-bit keyer when it is converted rather than addressed:
// its value (integers divided by their maximum) times `factor`, the reciprocal of the headroom
// (1: as it is). Alpha and mattes are never scaled.
struct ColourScale {
    bool convert = false;  // convert even an integer picture (a headroom was given)
    float factor = 1;
};

// A keyed 16-bit sample as a float, as the host program writes a keyed picture to a float
// file: the sample over 65535, R, G and B then multiplied by the headroom.
void keyedToFloat(const std::uint16_t* keyed, const ArrayInput& out, float headroom);

// The sample index within a picture's channels that a channel letter selects, as the host
// program maps file channels: -1 when the picture has no such channel.
int letterChannel(const ArrayInput& input, char letter);

// A tile image over a picture at a given sample width: the picture's own samples when they
// can be addressed as they are, otherwise a converted copy of its own.
class TileSource {
public:
    TileSource() = default;
    // The image may address the source's own members: it stays where it was made.
    TileSource(const TileSource&) = delete;
    TileSource& operator=(const TileSource&) = delete;

    // R, G and B, and alpha when `withAlpha` (a picture without alpha then reads 0 there).
    void colour(const ArrayInput& input, int bytes, bool withAlpha, const ColourScale& scale);
    // The one matte channel the letter selects, in the image's alpha slot.
    void matte(const ArrayInput& input, int bytes, char letter);
    // An output over the picture's own R, G, B and A samples; false when the picture's layout
    // cannot be addressed as it is (it is then left alone).
    bool output(const ArrayInput& input, int bytes);
    // A 16-bit R, G, B, A output of its own, rows packed, for a result converted afterwards.
    void ownOutput(int width, int height);
    const std::uint16_t* own16() const { return m_own16.data(); }

    const TileImage& image() const { return m_image; }

private:
    // Addresses the picture's samples directly; false when its layout does not allow it.
    bool direct(const ArrayInput& input, int bytes, const int channelOf[4]);
    void copied(const ArrayInput& input, int bytes, const int channelOf[4], int samples,
                const ColourScale& scale = {});

    TileImage m_image{};
    std::vector<std::uint8_t> m_own8;
    std::vector<std::uint16_t> m_own16;
    std::uint16_t m_zero = 0;  // the missing channel of a matte: every pixel reads 0
};

// A tile image's pointers moved down `rows` rows (for one band of a tile).
TileImage tileImageBelow(const TileImage& image, int rows, int bytes);

}  // namespace zephra_python

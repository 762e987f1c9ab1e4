#pragma once
// The options of FileIn and FileOut beyond the file's own samples: colour conversion, a
// headroom that carries values above 1.0 through the keyer's integer samples, the first frame
// of a sequence or movie, and premultiplication on writing. Their script arguments arrive as
// text and are checked here, with messages that name the file.

#include <string>
#include <vector>

#include "app/ImageFile.h"
#include "app/Raster.h"

namespace pxhost {

// How FileIn turns a file into a picture.
struct ReadOptions {
    // The colour space of the file's samples; "" reads them as stored.
    std::string colourSpace;
    // The picture's colour is divided by this on reading (alpha is not), so that values up to
    // it fit the keyer's 0..1 samples; FileOut multiplies by it again. 1 leaves values as they
    // are (float values above 1.0 then clip where the keyer converts them to 16 bits).
    float headroom = 1;
    // Frame f of the render reads frame f + frameOffset of a sequence or movie.
    long frameOffset = 0;
};

// Checks and converts the script's texts. Throws UsageError naming the file.
ReadOptions parseReadOptions(const std::string& file, const std::string& colourSpace,
                             const std::string& headroom, const std::string& frameOffset);

// Reads the picture of one frame (already offset): a still, a frame of a sequence, or frame
// `frame` (counted from 1) of a movie, then converts it to the working colour space and divides
// it by the headroom. A converted or scaled picture is float. Throws RenderError naming the file.
// The picture is read into `recycled` when it can be (see readImageInto).
Raster readPicture(const std::string& fileName, long frame, const ReadOptions& options,
                   Raster recycled = Raster());

// Fills the FileOut options beyond depth, channels and compression. headroom "0" or "" follows
// the plates: the one headroom other than 1 that the script's FileIns were given (1 when none).
// Throws UsageError naming the file, also when the plates have different headrooms and none is
// given here.
void parseWriteExtras(const std::string& file, const std::string& colourSpace,
                      const std::string& premultiply, const std::string& headroom,
                      const std::vector<float>& plateHeadrooms, WriteOptions& options);

// Whether writing needs a prepared copy of the picture.
bool needsPreparing(const WriteOptions& options);

// The picture as it is to be written: multiplied by the headroom, converted from the working
// colour space, premultiplied, in that order. Returns a float picture and sets `options` to
// write it as it is, in the depth the file would have had (float when a headroom is decoded).
Raster prepareForWriting(const std::string& file, const RasterView& picture, WriteOptions& options);

}  // namespace pxhost

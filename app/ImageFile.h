#pragma once
// Reading and writing image files, samples exactly as stored: no alpha association or
// disassociation, no colour conversion.

#include <string>

#include "app/Raster.h"

namespace pxhost {

// How a file is read.
//  - 8-bit files stay 8-bit and 16-bit files 16-bit (10- and 12-bit files arrive as 16-bit);
//    half and float files become float.
//  - RGB without alpha has no alpha channel; RGBA has all four. Channels beyond those are not
//    read.
//  - A one-channel file is a grey picture, and as such it is most often a matte: its value goes
//    into R, G, B and A, so it feeds a matte input whatever channel letter selects it, and it
//    also shows as grey where it is used as a picture. A two-channel file is grey plus alpha.
//  - A file whose data window differs from its display window is placed into its display
//    window; the rest of the display window is 0.
// Throws RenderError naming the file when it is missing, unreadable, in an unsupported layout
// or too large to allocate. subimage picks a sub-image of a file that holds several (the frames
// of a movie).
Raster readImage(const std::string& path, int subimage = 0);
// The same, into `raster`: its sample store is reused when it is large enough (a frame's
// picture handed back once keyed), so a sequence of same-sized frames allocates nothing.
void readImageInto(const std::string& path, int subimage, Raster& raster);

// Whether the library that reads the file's format (PNG's) prints its own messages on standard
// error, as well as failing the read. Judged by the file name's extension.
bool readerPrintsMessages(const std::string& path);

// The header facts the script needs before any pixel is read.
struct ImageInfo {
    int width = 0;
    int height = 0;
    int depth = 1;
    int channels = 0;
};
ImageInfo readImageInfo(const std::string& path);

// How a file is written.
struct WriteOptions {
    // Sample type in the file: 0 = from the picture (8 stays 8, 16 stays 16, float stays
    // float), else 1 (8-bit), 2 (16-bit), 3 (half float) or 4 (float). A format that cannot
    // hold the type asked for gets the nearest one it supports (JPEG is always 8-bit).
    int depth = 0;
    // Channels written: "" for all the picture has (RGBA, or RGB without alpha), "rgb" colour
    // only, "rgba" all four, "a" the alpha alone as a one-channel (grey) picture.
    std::string channels;
    // Compression of formats that have a choice, as listed in app/Compression.h ("zip:1",
    // "lzw", "piz"); "" for the program's fast default for the format.
    std::string compression;
    // Applied before writing (PictureOptions.h): the colour space to convert into ("" none), the
    // factor the colour is multiplied by (1 none), and premultiplication of colour by alpha.
    std::string colourSpace;
    float headroom = 1;
    bool premultiply = false;
};

// Parses a depth word as given in a script or option: "", "8", "16", "half", "float".
// Returns -1 for anything else.
int parseDepthWord(const std::string& word);

// Throws UsageError naming the file when no image format is known for its extension, or when
// the channel selection or the compression is not one the format accepts.
void checkWritable(const std::string& path, const WriteOptions& options);

// Writes atomically (see AtomicOutputFile): the final name never names a partial file.
// Throws RenderError naming the file on failure.
void writeImage(const std::string& path, const RasterView& picture, const WriteOptions& options);
inline void writeImage(const std::string& path, const Raster& raster, const WriteOptions& options) {
    writeImage(path, raster.view(), options);
}

// A file made in memory (encodeImage), to be put in place later (storeImage): several pictures
// can then be made into files at once, and put in place one by one, in order.
struct EncodedImage {
    SampleStore bytes;  // the file is the first `size` bytes; the store is reused
    size_t size = 0;
};
// Whether the format's writer compresses the file as asked (see compresses) and can make it in
// memory: the files encodeImage makes. Throws as writeImage does for an unknown format.
bool writesCompressed(const std::string& path, const WriteOptions& options);
// Makes the file writeImage would write for the picture into `into`, without touching the
// file system. Returns false, having made nothing, for a file that is not one of those:
// writeImage then writes the picture. Throws as writeImage does.
bool encodeImage(const std::string& path, const RasterView& picture, const WriteOptions& options,
                 EncodedImage& into);
// Writes the file atomically, as writeImage does. Throws RenderError naming the file on failure.
void storeImage(const std::string& path, const EncodedImage& file);

}  // namespace pxhost

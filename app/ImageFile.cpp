#include "app/ImageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <OpenImageIO/imageio.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "app/AtomicOutputFile.h"
#include "app/CheckedFileProxy.h"
#include "app/Compression.h"
#include "app/HostError.h"
#include "app/InputFileProxy.h"
#include "app/MemoryFileProxy.h"
#include "app/PictureOptions.h"
#include "app/SampleRows.h"

namespace pxhost {
namespace {

using OIIO::ImageInput;
using OIIO::ImageOutput;
using OIIO::ImageSpec;
using OIIO::TypeDesc;

// OpenImageIO error texts may run over several lines; one line is shown. Some readers fail
// on a file cut short without saying why; `otherwise` then stands in.
std::string firstLine(std::string text, const char* otherwise = "unknown error") {
    const size_t nl = text.find('\n');
    if (nl != std::string::npos) text.resize(nl);
    return text.empty() ? otherwise : text;
}

constexpr const char* kIncomplete = "the file is truncated or corrupt";

// An open input: the reader, and for formats that need it the proxy its reads go through.
struct OpenedInput {
    std::unique_ptr<InputFileProxy> proxy;  // declared first, so that it outlives the reader
    std::unique_ptr<ImageInput> in;
};

// Formats whose readers take a file cut short as whole (they store raw samples and read them
// without checking how much came): their reads go through a proxy that notices.
bool readsWithoutLengthCheck(const char* format) {
    return std::strcmp(format, "dpx") == 0 || std::strcmp(format, "cineon") == 0;
}

OpenedInput openInput(const std::string& path) {
    // Opened without blocking and checked before any reader sees it: a FIFO, a device such as
    // /dev/zero or a folder would otherwise hang the reader or feed it without end.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw RenderError(path + ": cannot read input: " + std::strerror(errno));
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool folder = S_ISDIR(st.st_mode);
        close(fd);
        throw RenderError(path + ": cannot read input: " +
                          (folder ? "it is a folder, not a picture"
                                  : "it is not a regular file (a device, pipe or socket)"));
    }
    OpenedInput opened;
    const std::unique_ptr<ImageInput> probe = ImageInput::create(path);
    if (probe && readsWithoutLengthCheck(probe->format_name()) && probe->supports("ioproxy"))
        opened.proxy = std::make_unique<InputFileProxy>(path, fd);
    else
        close(fd);
    OIIO::geterror();  // a name without a known extension left a message; open tries all
    // Keep alpha as stored: formats with unassociated alpha (PNG, some TIFF) would otherwise be
    // premultiplied on reading.
    ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    if (opened.proxy) {
        OIIO::Filesystem::IOProxy* base = opened.proxy.get();
        config.attribute("oiio:ioproxy", TypeDesc::PTR, &base);
    }
    try {
        opened.in = ImageInput::open(path, &config, opened.proxy.get());
    } catch (const std::exception& e) {
        // Some readers throw on an absurd header (a DPX claiming 100000x100000 pixels).
        throw RenderError(path + ": cannot read input: " + kIncomplete + " (" + e.what() + ")");
    }
    if (!opened.in) throw RenderError(path + ": cannot read input: " + firstLine(OIIO::geterror()));
    return opened;
}

int depthOf(const std::string& path, const ImageSpec& spec) {
    switch (spec.format.basetype) {
        case TypeDesc::UINT8:
            return 1;
        case TypeDesc::UINT16:
            return 2;
        case TypeDesc::HALF:
        case TypeDesc::FLOAT:
        case TypeDesc::DOUBLE:
            return 4;
        default:
            throw RenderError(path + ": unsupported pixel layout: " + spec.format.c_str() +
                              " samples (8-bit, 16-bit, half or float are read)");
    }
}

// Which file channel feeds each of the samples A, B, G, R (-1: none), and the channel mask.
struct ChannelMap {
    int source[4] = {-1, -1, -1, -1};
    int mask = 0;
    int readCount = 0;  // channels 0 .. readCount-1 are read from the file
};

ChannelMap mapChannels(const std::string& path, const ImageSpec& spec) {
    ChannelMap map;
    const int n = spec.nchannels;
    if (n <= 0) throw RenderError(path + ": unsupported pixel layout: no channels");
    if (spec.deep) throw RenderError(path + ": unsupported pixel layout: deep image");
    if (n <= 2) {
        // Grey, or grey and alpha. A lone grey channel also fills alpha: see readImage.
        map.source[kSampleR] = map.source[kSampleG] = map.source[kSampleB] = 0;
        map.source[kSampleA] = n == 2 ? 1 : 0;
        map.mask = kChanRGBA;
        map.readCount = n;
        return map;
    }
    map.source[kSampleR] = 0;
    map.source[kSampleG] = 1;
    map.source[kSampleB] = 2;
    map.mask = kChanRGB;
    int alpha = spec.alpha_channel;
    if (alpha < 0 && n == 4) alpha = 3;  // a fourth channel of unnamed role is alpha
    if (alpha >= 3 && alpha < n) {
        map.source[kSampleA] = alpha;
        map.mask |= kChanA;
    }
    map.readCount = std::max(3, map.source[kSampleA] + 1);
    return map;
}

// Moves file-ordered samples (n per pixel) into the A, B, G, R layout, row by row, placing the
// data window at (dx, dy) of the raster and clipping it to the raster.
template <typename T>
void scatterSamples(const T* src, int srcWidth, int srcHeight, int n, const ChannelMap& map, int dx,
                    int dy, Raster& dst) {
    T* out = dst.data<T>();
    for (int y = 0; y < srcHeight; ++y) {
        const int ty = y + dy;
        if (ty < 0 || ty >= dst.height) continue;
        const T* row = src + static_cast<size_t>(y) * srcWidth * n;
        for (int x = 0; x < srcWidth; ++x) {
            const int tx = x + dx;
            if (tx < 0 || tx >= dst.width) continue;
            const T* px = row + static_cast<size_t>(x) * n;
            T* o = out + (static_cast<size_t>(ty) * dst.width + tx) * 4;
            for (int s = 0; s < 4; ++s) o[s] = map.source[s] >= 0 ? px[map.source[s]] : T(0);
        }
    }
}

// Places `rows` rows of the data window, from its row `firstRow` on, into the raster.
template <typename T>
void placeRows(const unsigned char* samples, int firstRow, int rows, const ImageSpec& spec,
               const ChannelMap& map, int dx, int dy, Raster& dst) {
    const T* src = reinterpret_cast<const T*>(samples);
    const int n = map.readCount;
    const bool wholeRows = dx == 0 && spec.width == dst.width && dy + firstRow >= 0 &&
                           dy + firstRow + rows <= dst.height;
    const bool plain = map.source[kSampleR] == 0 && map.source[kSampleG] == 1 &&
                       map.source[kSampleB] == 2 && map.source[kSampleA] == (n == 4 ? 3 : -1);
    // The usual case: whole rows of R, G, B (and A when n is 4) in file order.
    if (wholeRows && plain)
        fileToRaster(src, n, static_cast<size_t>(spec.width) * rows,
                     dst.data<T>() + static_cast<size_t>(dy + firstRow) * dst.width * 4);
    else
        scatterSamples(src, spec.width, rows, n, map, dx, dy + firstRow, dst);
}

void placeRows(const unsigned char* samples, int depth, int firstRow, int rows,
               const ImageSpec& spec, const ChannelMap& map, int dx, int dy, Raster& dst) {
    switch (depth) {
        case 1:
            return placeRows<uint8_t>(samples, firstRow, rows, spec, map, dx, dy, dst);
        case 2:
            return placeRows<uint16_t>(samples, firstRow, rows, spec, map, dx, dy, dst);
        default:
            return placeRows<float>(samples, firstRow, rows, spec, map, dx, dy, dst);
    }
}

// Gathers the chosen samples (by sample index) of every pixel into file order.
template <typename T>
void gatherSamples(const RasterView& src, const int* order, int n, SampleStore& out) {
    out.resize(static_cast<size_t>(src.width) * src.height * n * sizeof(T));
    T* o = reinterpret_cast<T*>(out.data());
    for (int y = 0; y < src.height; ++y) {
        const T* in =
            reinterpret_cast<const T*>(src.data) + static_cast<size_t>(y) * src.rowSamples;
        if (n >= 3 && order[0] == kSampleR) {  // the usual cases, R, G, B (and A) of each pixel
            rasterToFile(in, static_cast<size_t>(src.width), n, o);
            o += static_cast<size_t>(src.width) * n;
        } else {
            for (int x = 0; x < src.width; ++x, in += 4, o += n)
                for (int c = 0; c < n; ++c) o[c] = in[order[c]];
        }
    }
}

TypeDesc typeOfDepth(int depth) {
    switch (depth) {
        case 1:
            return TypeDesc::UINT8;
        case 2:
            return TypeDesc::UINT16;
        case 3:
            return TypeDesc::HALF;
        default:
            return TypeDesc::FLOAT;
    }
}

// Sets the compression chosen for the file on its ImageSpec. PNG's only choice is its zlib level,
// which the PNG writer takes from an attribute of its own; "none" is level 0.
void applyCompression(ImageSpec& spec, const std::string& format, const CompressionChoice& choice) {
    if (choice.method.empty()) return;
    if (format == "png") {
        constexpr int kPngStored = 0;
        // The PNG row filters (the format's own flags): each row stored as it is, or each
        // sample as its difference from the pixel to its left.
        constexpr int kPngFilterNone = 0x08;
        constexpr int kPngFilterSub = 0x10;
        const bool stored = choice.method == "none";
        if (stored)
            spec.attribute("png:compressionLevel", kPngStored);
        else if (choice.level >= 0)
            spec.attribute("png:compressionLevel", choice.level);
        // One filter for every row rather than the writer's default of trying all five on
        // each row and keeping the best guess: on keyed plates and mattes the left-difference
        // alone gives files no larger, at every zlib level, and halves the writing time at the
        // fast levels. Stored files are not filtered at all.
        spec.attribute("png:filter", stored ? kPngFilterNone : kPngFilterSub);
        return;
    }
    spec.attribute("compression", choice.level >= 0
                                      ? choice.method + ":" + std::to_string(choice.level)
                                      : choice.method);
}

// The image library's name of the format a file name's extension picks, or throws UsageError.
std::string formatOf(const std::string& path) {
    auto out = ImageOutput::create(path);
    if (!out) {
        OIIO::geterror();  // clear the library's message; ours names the file
        throw UsageError(path + ": no image format is known for this file name's extension");
    }
    return out->format_name();
}

}  // namespace

bool readerPrintsMessages(const std::string& path) {
    // Finding the reader of a name without a known extension opens the file: a FIFO or device
    // would hang here. Reading refuses such files with its own message.
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    auto in = ImageInput::create(path, false);
    if (!in) OIIO::geterror();  // no reader for the extension: reading will say so
    return in && std::string(in->format_name()) == "png";
}

ImageInfo readImageInfo(const std::string& path) {
    const OpenedInput opened = openInput(path);
    const auto& in = opened.in;
    const ImageSpec& spec = in->spec();
    ImageInfo info;
    const bool display = spec.full_width > 0 && spec.full_height > 0;
    info.width = display ? spec.full_width : spec.width;
    info.height = display ? spec.full_height : spec.height;
    info.depth = depthOf(path, spec);
    info.channels = mapChannels(path, spec).mask;
    return info;
}

void readImageInto(const std::string& path, int subimage, Raster& raster) {
    const OpenedInput opened = openInput(path);
    const auto& in = opened.in;
    if (subimage != 0 && !in->seek_subimage(subimage, 0))
        throw RenderError(path +
                          ": cannot read input: " + firstLine(in->geterror(), "no such sub-image"));
    const ImageSpec spec = in->spec();
    const int depth = depthOf(path, spec);
    const ChannelMap map = mapChannels(path, spec);
    const bool display = spec.full_width > 0 && spec.full_height > 0;
    const int width = display ? spec.full_width : spec.width;
    const int height = display ? spec.full_height : spec.height;
    // Every pixel is written when the data covers the whole picture; otherwise the rest is 0.
    const bool covered = !display || (spec.x == spec.full_x && spec.y == spec.full_y &&
                                      spec.width == width && spec.height == height);
    try {
        raster.allocate(width, height, depth, map.mask, !covered);
    } catch (const RenderError& e) {
        throw RenderError(path + ": " + e.what());
    }
    // The data window, read before it is placed, is held to the picture's limits too.
    try {
        Raster::checkSize(spec.width, spec.height);
    } catch (const RenderError& e) {
        throw RenderError(path + ": " + e.what());
    }
    const int dx = display ? spec.x - spec.full_x : 0;
    const int dy = display ? spec.y - spec.full_y : 0;
    const TypeDesc type = typeOfDepth(depth);
    const size_t rowBytes = static_cast<size_t>(spec.width) * map.readCount * type.size();
    // A striped TIFF is read one scanline at a time, each placed as soon as it is read: reading
    // many strips at once decodes them in a way that does not report damaged compressed data,
    // while a scanline's read does. Other files are read whole, then placed.
    const bool byRow = std::strcmp(in->format_name(), "tiff") == 0 && spec.tile_width == 0;
    // Rows stored as they are read are taken as stored: a conversion would go through a
    // buffer the image library allocates for every call.
    const bool native =
        spec.format == type && spec.channelformats.empty() && spec.nchannels == map.readCount;
    // Kept between the thread's reads, like the writer's (see writeImage).
    thread_local SampleStore fileSamples;
    try {
        fileSamples.resize(rowBytes * (byRow ? 1 : spec.height));
    } catch (const std::bad_alloc&) {
        throw RenderError(path + ": not enough memory to read the image");
    }
    bool read = true;
    try {
        if (byRow) {
            for (int y = 0; y < spec.height && read; ++y) {
                const int row = spec.y + y;
                read = (native ? in->read_native_scanlines(subimage, 0, row, row + 1, 0,
                                                           fileSamples.data())
                               : in->read_scanlines(subimage, 0, row, row + 1, 0, 0, map.readCount,
                                                    type, fileSamples.data())) &&
                       !in->has_error();
                if (read) placeRows(fileSamples.data(), depth, y, 1, spec, map, dx, dy, raster);
            }
        } else {
            read = in->read_image(subimage, 0, 0, map.readCount, type, fileSamples.data()) &&
                   !in->has_error();
        }
    } catch (const std::exception& e) {
        throw RenderError(path + ": cannot read input: " + kIncomplete + " (" + e.what() + ")");
    }
    if (!read)
        throw RenderError(path + ": cannot read input: " + firstLine(in->geterror(), kIncomplete));
    // The JPEG reader fills the rest of a file cut short (or of corrupt data) with grey and
    // reports success, leaving only a message behind: such a picture is not the file's.
    const std::string warning = in->geterror();
    if (!warning.empty()) throw RenderError(path + ": cannot read input: " + firstLine(warning));
    if (opened.proxy && opened.proxy->cutShort())
        throw RenderError(path + ": cannot read input: " + kIncomplete + " (it ends early)");
    if (!byRow) placeRows(fileSamples.data(), depth, 0, spec.height, spec, map, dx, dy, raster);
}

Raster readImage(const std::string& path, int subimage) {
    Raster raster;
    readImageInto(path, subimage, raster);
    return raster;
}

int parseDepthWord(const std::string& word) {
    if (word.empty() || word == "0") return 0;
    if (word == "8") return 1;
    if (word == "16") return 2;
    if (word == "half") return 3;
    if (word == "float" || word == "32") return 4;
    return -1;
}

void checkWritable(const std::string& path, const WriteOptions& options) {
    const std::string& ch = options.channels;
    if (!(ch.empty() || ch == "rgb" || ch == "rgba" || ch == "a"))
        throw UsageError(path + ": unknown channel selection \"" + ch +
                         "\" (use \"rgba\", \"rgb\" or \"a\")");
    if (options.depth < 0 || options.depth > 4)
        throw UsageError(path + ": unknown depth (use \"8\", \"16\", \"half\" or \"float\")");
    chooseCompression(formatOf(path), options.compression, path);
}

namespace {

// A picture as its file takes it: the file's header, and the samples in the file's channel
// order (in a store kept per thread, see below).
struct FilePicture {
    ImageSpec spec;
    TypeDesc nativeType;
    const SampleStore* samples = nullptr;
};

FilePicture filePicture(const std::string& path, const RasterView& raster,
                        const WriteOptions& options) {
    // Sample order in the file for each channel selection.
    static const int kRGBA[] = {kSampleR, kSampleG, kSampleB, kSampleA};
    static const int kAlpha[] = {kSampleA};
    const std::string& ch = options.channels;
    const bool alphaOnly = ch == "a";
    const bool withAlpha = ch == "rgba" || (ch.empty() && (raster.channels & kChanA));
    const int n = alphaOnly ? 1 : withAlpha ? 4 : 3;
    const int* order = alphaOnly ? kAlpha : kRGBA;

    FilePicture picture;
    picture.nativeType = typeOfDepth(raster.depth);
    picture.spec = ImageSpec(raster.width, raster.height, n,
                             options.depth == 0 ? picture.nativeType : typeOfDepth(options.depth));
    if (alphaOnly) {
        picture.spec.channelnames = {"Y"};
        picture.spec.alpha_channel = -1;
    } else if (!withAlpha) {
        picture.spec.channelnames = {"R", "G", "B"};
        picture.spec.alpha_channel = -1;
    }
    // The samples are written as they are: no alpha association on the way.
    picture.spec.attribute("oiio:UnassociatedAlpha", 1);

    // The file-ordered samples of the thread's last picture: a sequence of same-sized frames
    // reuses one store rather than allocating a picture's worth of memory each frame.
    thread_local SampleStore fileSamples;
    try {
        switch (raster.depth) {
            case 1:
                gatherSamples<uint8_t>(raster, order, n, fileSamples);
                break;
            case 2:
                gatherSamples<uint16_t>(raster, order, n, fileSamples);
                break;
            default:
                gatherSamples<float>(raster, order, n, fileSamples);
                break;
        }
    } catch (const std::bad_alloc&) {
        throw RenderError(path + ": not enough memory to write the image");
    }
    picture.samples = &fileSamples;
    return picture;
}

// The format's writer for `path`, and the compression it is to apply.
std::unique_ptr<ImageOutput> createWriter(const std::string& path, const WriteOptions& options,
                                          CompressionChoice& compression) {
    auto out = ImageOutput::create(path);
    if (!out) throw RenderError(path + ": " + firstLine(OIIO::geterror()));
    compression = chooseCompression(out->format_name(), options.compression, path);
    return out;
}

// Whether `out`, with the compression chosen for it, makes the files encodeImage makes.
bool writerCompresses(ImageOutput& out, const CompressionChoice& compression) {
    return compresses(out.format_name(), compression) && out.supports("ioproxy");
}

// Writes the picture with `out` into `fileName`, through `proxy` when the writer takes one.
// Returns the writer's failure, or "" when it wrote the file; a failure the proxy saw comes
// first, as it says more.
std::string writeWith(ImageOutput& out, const std::string& fileName, FilePicture& picture,
                      OIIO::Filesystem::IOProxy* proxy) {
    if (proxy) picture.spec.attribute("oiio:ioproxy", TypeDesc::PTR, &proxy);
    if (!out.open(fileName, picture.spec)) return firstLine(out.geterror());
    const bool written = out.write_image(picture.nativeType, picture.samples->data());
    const bool closed = out.close();
    if (proxy) proxy->close();
    return written && closed ? std::string() : firstLine(out.geterror());
}

}  // namespace

void writeImage(const std::string& path, const RasterView& raster, const WriteOptions& options) {
    checkWritable(path, options);
    if (needsPreparing(options)) {
        WriteOptions prepared = options;
        const Raster picture = prepareForWriting(path, raster, prepared);
        return writeImage(path, picture.view(), prepared);
    }
    CompressionChoice compression;
    const auto out = createWriter(path, options, compression);
    FilePicture picture = filePicture(path, raster, options);
    applyCompression(picture.spec, out->format_name(), compression);
    AtomicOutputFile file(path);
    // Writers that take a file proxy write through one that sees every failed write (a full
    // disk, a file-size limit); the others write the file themselves and are checked by
    // reading the file back.
    if (out->supports("ioproxy")) {
        CheckedFileProxy proxy(file.tempPath());
        if (proxy.failure())
            throw RenderError(path + ": cannot write: " + std::strerror(proxy.failure()));
        const std::string failure = writeWith(*out, file.tempPath(), picture, &proxy);
        if (proxy.failure())
            throw RenderError(path + ": cannot write: " + std::strerror(proxy.failure()));
        if (!failure.empty()) throw RenderError(path + ": cannot write: " + failure);
    } else {
        const std::string failure = writeWith(*out, file.tempPath(), picture, nullptr);
        if (!failure.empty()) throw RenderError(path + ": cannot write: " + failure);
        auto check = ImageInput::open(file.tempPath());
        std::vector<unsigned char> back(check ? check->spec().image_bytes() : 0);
        if (!check ||
            !check->read_image(0, 0, 0, check->spec().nchannels, check->spec().format, back.data()))
            throw RenderError(path + ": cannot write: the written file does not read back whole");
    }
    file.commit();
}

bool writesCompressed(const std::string& path, const WriteOptions& options) {
    CompressionChoice compression;
    const auto out = createWriter(path, options, compression);
    return writerCompresses(*out, compression);
}

bool encodeImage(const std::string& path, const RasterView& raster, const WriteOptions& options,
                 EncodedImage& into) {
    checkWritable(path, options);
    CompressionChoice compression;
    const auto out = createWriter(path, options, compression);
    // Decided before any work on the picture, which writeImage would then do again.
    if (!writerCompresses(*out, compression)) return false;
    const bool preparing = needsPreparing(options);
    WriteOptions fileOptions = options;
    const Raster prepared = preparing ? prepareForWriting(path, raster, fileOptions) : Raster();
    FilePicture picture = filePicture(path, preparing ? prepared.view() : raster, fileOptions);
    applyCompression(picture.spec, out->format_name(), compression);
    MemoryFileProxy proxy(into.bytes);
    const std::string failure = writeWith(*out, path, picture, &proxy);
    if (proxy.outOfMemory()) throw RenderError(path + ": not enough memory to write the image");
    if (!failure.empty()) throw RenderError(path + ": cannot write: " + failure);
    into.size = proxy.size();
    return true;
}

void storeImage(const std::string& path, const EncodedImage& encoded) {
    AtomicOutputFile file(path);
    CheckedFileProxy proxy(file.tempPath());
    proxy.pwrite(encoded.bytes.data(), encoded.size, 0);
    proxy.close();
    if (proxy.failure())
        throw RenderError(path + ": cannot write: " + std::strerror(proxy.failure()));
    file.commit();
}

}  // namespace pxhost

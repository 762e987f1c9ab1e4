// The frame loop of a session, run in this process so that the graph's nodes can be watched.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "TestFiles.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "sdk/image/PXiMemoryImage.h"

namespace pxhost::test {
namespace {

// A picture in memory that counts how often the render driver fills it.
class CountedPicture : public PXiMemoryImage {
public:
    using PXiMemoryImage::PXiMemoryImage;
    void fillOutputBuffer() override {
        ++fills;
        PXiMemoryImage::fillOutputBuffer();
    }
    int fills = 0;
};

// A screen-blue picture with a grey right half, counting its fills.
std::unique_ptr<CountedPicture> plate() {
    auto picture = std::make_unique<CountedPicture>(8, 6, 1);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            PXiBPixel p;
            p.b = 0.9f;
            p.g = p.r = x < 4 ? 0.0f : 0.5f;
            picture->setPixel(x, y, p);
        }
    return picture;
}

// How often a picture is filled per frame. Two outputs that both show one keyer (the second
// through its hold-out matte) render it, and the matte it reads, once. The checks of a chain
// of keys (each key's foreground is the key before) render the chain once for all keys, not
// once per key: the plate is filled once for the outputs and once for the checks.
TEST(SessionFrames, EachPictureIsRenderedOncePerFrameForTheOutputsAndOnceForTheChecks) {
    const struct {
        const char* script;
        const char* counted;  // "fg" or "matte"
        int fillsPerFrame;
    } cases[] = {
        {"k = Zephra_1v4(fg, 0, matte, 0, \"unpremultiplied\");\n"
         "FileOut(k, \"a.#.png\");\n"
         "FileOut(Zephra_1v4(fg, 0, k, 0, \"status\"), \"b.#.png\");\n",
         "matte", 1},
        {"k1 = Zephra_1v4(fg, 0, 0, 0, \"unpremultiplied\");\n"
         "k2 = Zephra_1v4(k1, 0, 0, 0, \"unpremultiplied\");\n"
         "FileOut(Zephra_1v4(k2, 0, 0, 0, \"unpremultiplied\"), \"c.#.png\");\n",
         "fg", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const std::unique_ptr<CountedPicture> fg = plate(), matte = plate();
        TempDir dir;
        {
            Session session(1);
            session.loadPlugins({});  // the program's own, beside this test
            session.addPicture("fg", fg->getOutput());
            session.addPicture("matte", matte->getOutput());
            session.setScriptFolder(dir.path());
            session.runScript(c.script, "frames.pxs");
            const std::vector<long> frames = session.planFrames("1-3");
            Progress quiet(stderr, static_cast<long>(frames.size()), false, false);
            fg->fills = matte->fills = 0;
            ASSERT_EQ(session.render(frames, quiet, false), 0);
            ASSERT_EQ(session.writtenFiles().size(), 3 * session.outputs().size());
        }
        EXPECT_EQ((std::string(c.counted) == "fg" ? fg : matte)->fills, 3 * c.fillsPerFrame);
    }
}

}  // namespace
}  // namespace pxhost::test

// The frame loop of a session, run in this process so that the graph's nodes can be watched.

#include <gtest/gtest.h>

#include <cstdio>

#include "TestFiles.h"
#include "app/Progress.h"
#include "app/Session.h"
#include "sdk/PXiMemoryImage.h"

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

// Two outputs of a frame that both show one keyer (the second through its hold-out matte):
// the keyer, and the matte it reads, are rendered once per frame, not once per output.
TEST(SessionFrames, AKeyerTwoOutputsShowIsRenderedOncePerFrame) {
    CountedPicture fg(8, 6, 1), matte(8, 6, 1);
    for (int y = 0; y < 6; ++y)  // screen blue on the left, grey on the right
        for (int x = 0; x < 8; ++x) {
            PXiBPixel p;
            p.b = 0.9f;
            p.g = p.r = x < 4 ? 0.0f : 0.5f;
            fg.setPixel(x, y, p);
        }
    TempDir dir;
    {
        Session session(1);
        session.loadPlugins({});  // the program's own, beside this test
        session.addPicture("fg", fg.getOutput());
        session.addPicture("matte", matte.getOutput());
        session.setScriptFolder(dir.path());
        session.runScript(
            "k = Zephra_1v4(fg, 0, matte, 0, \"unpremultiplied\");\n"
            "FileOut(k, \"a.#.png\");\n"
            "FileOut(Zephra_1v4(fg, 0, k, 0, \"status\"), \"b.#.png\");\n",
            "frames.pxs");
        const std::vector<long> frames = session.planFrames("1-3");
        Progress quiet(stderr, static_cast<long>(frames.size()), false, false);
        fg.fills = matte.fills = 0;
        ASSERT_EQ(session.render(frames, quiet, false), 0);
    }
    EXPECT_EQ(matte.fills, 3);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"a.1.png", "a.2.png", "a.3.png", "b.1.png",
                                                    "b.2.png", "b.3.png"}));
}

}  // namespace
}  // namespace pxhost::test

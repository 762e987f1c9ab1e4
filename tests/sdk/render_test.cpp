#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

#include "sdk/base/PXiError.h"
#include "sdk/base/PXiMath.h"
#include "sdk/base/PXiThread.h"
#include "sdk/graph/PXiPictureSource.h"
#include "sdk/image/PXiMemoryImage.h"
#include "sdk/image/PXiRender.h"

namespace {

// A two-input node keyed like the keyer's fill: per thread, views of Fg and Bg over the same
// band; the output's B, G and R become the rounded-down mean of Fg and Bg, in place in Fg's
// buffer; alpha is left as expand left it. Works at depths 1 and 2 (limited like the keyer).
class MeanNode : public PXiNadic {
public:
    MeanNode() {
        fg = addInput("Fg");
        bg = addInput("Bg");
    }
    int eval(PXiPlug* plug) override {
        if (plug == getDepthPlug()) {
            int deepest = 1;
            for (int i = 0; i < getNumInputs(); ++i)
                deepest = std::max(deepest, getInput(i)->getDepthPlug()->asInt());
            plug->set(std::min(deepest, 2));
        }
        if (plug == getOutput()->getDescriptionPlug()) ++descriptionEvals;
        return PXiNadic::eval(plug);
    }
    void fillOutputBuffer() override {
        ++fills;
        PXiThread::m_fork(worker, this);
    }

    static void worker(PXiThread* t, void* arg) {
        MeanNode* self = static_cast<MeanNode*>(arg);
        PXiIBuf** bufs = self->getInputBuffers();
        if (!bufs[0]->getData()) return;
        const int depth = self->getDepthPlug()->asInt();
        const PXiIRect roi = self->getOutput()->getRoi();
        PXiIRect rect(roi.x1, bufs[0]->getFirstRow(), roi.x2,
                      bufs[0]->getFirstRow() + bufs[0]->getNumRows());
        const PXiIRect whole = rect;
        PXiIBuf fgView, bgView;
        bufs[0]->threadIBuf(fgView, rect, depth, t->getIndex(), t->getCount());
        if (rect.isEmpty()) return;
        const int width = rect.width();
        fgView.expand(width, depth, self->fg->getBPixel(), self->fg->getChannelsPlug()->asInt(),
                      14);
        PXiIRect bgRect = whole;
        bufs[1]->threadIBuf(bgView, bgRect, depth, t->getIndex(), t->getCount());
        bgView.expand(width, depth, self->bg->getBPixel(), self->bg->getChannelsPlug()->asInt(),
                      15);
        if (depth == 1)
            mean<unsigned char>(fgView, bgView, width, rect.height());
        else
            mean<unsigned short>(fgView, bgView, width, rect.height());
    }
    template <typename T>
    static void mean(PXiIBuf& f, PXiIBuf& b, int width, int height) {
        for (int y = 0; y < height; ++y) {
            T* fr = static_cast<T*>(f.getData()) + y * (4 * width + f.getExtra());
            const T* br = static_cast<const T*>(b.getData()) + y * (4 * width + b.getExtra());
            for (int x = 0; x < 4 * width; ++x)
                if (x % 4) fr[x] = static_cast<T>((fr[x] + br[x]) / 2);
        }
    }

    PXiIPlug *fg, *bg;
    int descriptionEvals = 0;
    int fills = 0;
};

// A random image in memory.
std::unique_ptr<PXiMemoryImage> randomImage(int w, int h, int depth, unsigned seed) {
    auto img = std::make_unique<PXiMemoryImage>(w, h, depth);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            PXiBPixel p;
            for (int c = 0; c < 4; ++c) p[c] = (rng() % 1000) / 999.0f;
            img->setPixel(x, y, p);
        }
    return img;
}

// Sample c of pixel (x, y) of a rendered buffer as an integer (depth 1 or 2).
int sampleAt(const PXiIBuf& buf, int x, int y, int c) {
    const unsigned char* p = static_cast<const unsigned char*>(buf.pixelAddress(x, y));
    if (buf.getDepth() == 1) return p[c];
    unsigned short s;
    std::memcpy(&s, p + 2 * c, 2);
    return s;
}

// The integer sample that pixel (x, y) of img contributes at depth, or bp outside it.
int sourceSample(PXiMemoryImage& img, int x, int y, int c, int depth) {
    PXiIRect dod =
        img.getOutput()->getDod().intersect(PXiIRect(0, 0, img.getWidth(), img.getHeight()));
    bool inside = x >= dod.x1 && x < dod.x2 && y >= dod.y1 && y < dod.y2;
    PXiBPixel p = inside ? img.getPixel(x, y) : img.getOutput()->getBPixel();
    if (img.getImageDepth() == 1 && depth == 2 && inside) return PXiF2B(p[c] * 255.0f) * 257;
    return depth == 1 ? PXiF2B(p[c] * 255.0f) : PXiF2S(p[c] * 65535.0f);
}

struct ThreadCountScope {
    int saved = PXiThread::getThreadCount();
    explicit ThreadCountScope(int n) { PXiThread::setThreadCount(n); }
    ~ThreadCountScope() { PXiThread::setThreadCount(saved); }
};

// Threads forked by PXiThread: each records its index, and checks the count it was told.
struct Tally {
    std::vector<std::atomic<int>> runs;
    std::atomic<int> wrongCount{0};
    int expectedCount;
    explicit Tally(int n) : runs(static_cast<size_t>(n)), expectedCount(n) {}
};

void countRun(PXiThread* t, void* arg) {
    Tally* tally = static_cast<Tally*>(arg);
    if (t->getCount() != tally->expectedCount) ++tally->wrongCount;
    ++tally->runs[static_cast<size_t>(t->getIndex())];
}

void throwOnOdd(PXiThread* t, void*) {
    if (t->getIndex() % 2 == 1) throw std::runtime_error("worker " + std::to_string(t->getIndex()));
}

void nestedFork(PXiThread*, void* arg) { PXiThread::m_fork(countRun, arg); }

}  // namespace

TEST(RenderSource, PixelsInsideTheImageAndItsDodTheBackgroundElsewhere) {
    auto img = randomImage(5, 3, 1, 1);
    PXiBPixel bp;
    bp.a = 1.0f, bp.b = 0.2f;
    img->setBPixel(bp);
    for (PXiIRect dod : {PXiIRect(0, 0, 5, 3), PXiIRect(1, 1, 4, 2), PXiIRect(9, 9, 10, 10)}) {
        img->setDod(dod);
        const PXiIRect region(-1, -2, 7, 4);
        PXiIBuf out = PXiRenderImage(img->getOutput(), region);
        ASSERT_EQ(out.getRect(), region);
        for (int y = region.y1; y < region.y2; ++y)
            for (int x = region.x1; x < region.x2; ++x)
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(sampleAt(out, x, y, c), sourceSample(*img, x, y, c, 1));
    }
    EXPECT_EQ(PXiRenderImage(img->getOutput(), PXiIRect(3, 3, 3, 9)).getData(), nullptr);
}

// Mixed depths through a two-input node: Fg arrives widened in buffer 0, the result is the
// node's arithmetic on the widened samples.
TEST(RenderGraph, InputsAreRenderedAtTheNodesDepthIntoTheirBuffers) {
    struct Case {
        int fgDepth, bgDepth, nodeDepth;
    } cases[] = {{1, 1, 1}, {1, 2, 2}, {2, 1, 2}, {2, 2, 2}};
    for (const Case& k : cases) {
        auto fg = randomImage(7, 5, k.fgDepth, 11);
        auto bg = randomImage(9, 4, k.bgDepth, 12);  // wider and shorter than Fg
        MeanNode node;
        node.fg->connect(fg->getOutput());
        node.bg->connect(bg->getOutput());
        EXPECT_EQ(node.getDepthPlug()->asInt(), k.nodeDepth);
        EXPECT_EQ(node.getOutput()->getWidthPlug()->asInt(), 7);  // from input 0
        const PXiIRect region(0, 0, 7, 5);
        PXiIBuf out = PXiRenderImage(node.getOutput(), region);
        ASSERT_EQ(out.getDepth(), k.nodeDepth);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) {
                EXPECT_EQ(sampleAt(out, x, y, 0), sourceSample(*fg, x, y, 0, k.nodeDepth));
                for (int c = 1; c < 4; ++c)
                    ASSERT_EQ(sampleAt(out, x, y, c), (sourceSample(*fg, x, y, c, k.nodeDepth) +
                                                       sourceSample(*bg, x, y, c, k.nodeDepth)) /
                                                          2)
                        << x << "," << y << "," << c;
            }
    }
}

// Every level takes the level below on both inputs: 2^30 paths, but each node is filled once per
// render, and the mean of a picture with itself is the picture.
TEST(RenderGraph, ANodeOnManyPathsIsRenderedOncePerRender) {
    auto source = randomImage(6, 4, 2, 21);
    std::vector<std::unique_ptr<MeanNode>> levels;
    PXiIPlug* below = source->getOutput();
    for (int i = 0; i < 30; ++i) {
        levels.push_back(std::make_unique<MeanNode>());
        levels.back()->fg->connect(below);
        levels.back()->bg->connect(below);
        below = levels.back()->getOutput();
    }
    const PXiIRect region(0, 0, 6, 4);
    PXiIBuf out = PXiRenderImage(below, region);
    for (const auto& level : levels) EXPECT_EQ(level->fills, 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            for (int c = 1; c < 4; ++c)
                ASSERT_EQ(sampleAt(out, x, y, c), sourceSample(*source, x, y, c, 2));
    EXPECT_LT(std::strlen(below->getDescriptionPlug()->asString().c_str()), 4200u);
}

// A MeanNode that reports each fill as failed, as a keyer without usable tables does.
class FailingMeanNode : public MeanNode {
public:
    PXiFillFailure fillFailure() const override {
        return {PXiFillFailureKind::kSettings, 7, "no usable settings"};
    }
};

std::vector<int> samplesOf(const PXiIBuf& buf) {
    std::vector<int> out;
    for (int y = 0; y < buf.getNumRows(); ++y)
        for (int x = 0; x < buf.getWidth(); ++x)
            for (int c = 0; c < 4; ++c) out.push_back(sampleAt(buf, x, y, c));
    return out;
}

// Several outputs of one frame: a node that several of them show is filled once for all, each
// picture is the one a render of its own gives, whatever the order; a root of another size
// gets the shared node over its own region; a failing node is reported to the render that
// fills it, once.
TEST(RenderBatch, ANodeSeveralImagesShowIsFilledOnceAndEachPictureIsItsOwn) {
    auto s1 = randomImage(6, 4, 2, 31), s2 = randomImage(6, 4, 1, 32);
    auto small = randomImage(3, 2, 1, 33);
    FailingMeanNode shared;
    MeanNode a, b, d;
    shared.fg->connect(s1->getOutput());
    shared.bg->connect(s2->getOutput());
    a.fg->connect(shared.getOutput());
    a.bg->connect(s2->getOutput());
    b.fg->connect(s1->getOutput());
    b.bg->connect(shared.getOutput());
    d.fg->connect(small->getOutput());
    d.bg->connect(shared.getOutput());
    std::vector<PXiIPlug*> roots = {a.getOutput(), b.getOutput(), shared.getOutput()};
    std::vector<std::vector<int>> alone;
    for (PXiIPlug* root : roots) alone.push_back(samplesOf(PXiRenderImage(root)));
    const std::vector<int> dAlone = samplesOf(PXiRenderImage(d.getOutput()));

    for (const std::vector<int>& order : {std::vector<int>{0, 1, 2}, std::vector<int>{2, 1, 0}}) {
        shared.fills = a.fills = b.fills = 0;
        PXiRenderBatch batch(roots);
        for (int i : order) {
            PXiNodeFailures failures;
            EXPECT_EQ(samplesOf(batch.render(roots[i], &failures)), alone[i]) << i;
            // The shared node is filled by whichever render comes first.
            EXPECT_EQ(failures.size(), i == order[0] ? 1u : 0u) << i;
            for (const PXiNodeFailure& f : failures) EXPECT_EQ(f.node, &shared);
        }
        EXPECT_EQ(shared.fills, 1);
        EXPECT_EQ(a.fills + b.fills, 2);
    }
    shared.fills = 0;
    PXiRenderBatch sizes({a.getOutput(), d.getOutput()});
    EXPECT_EQ(samplesOf(sizes.render(a.getOutput())), alone[0]);
    EXPECT_EQ(samplesOf(sizes.render(d.getOutput())), dAlone);
    EXPECT_EQ(shared.fills, 2);
    EXPECT_THROW(sizes.render(b.getOutput()), PXiError);
}

// A picture in memory that can give the render a copy of its pixels (as a reader's picture
// would be given), or a picture of another region when told to lie.
class GivingImage : public PXiMemoryImage, public PXiPictureSource {
public:
    GivingImage(int w, int h, int depth, unsigned seed) : PXiMemoryImage(w, h, depth) {
        auto pixels = randomImage(w, h, depth, seed);
        std::memcpy(getPixels(), pixels->getPixels(), 4u * w * h * depth);
    }
    PXiIBuf givePicture(const PXiIRect& region, int depth) override {
        if (!giving) return PXiIBuf();
        const auto* from = static_cast<const unsigned char*>(getPixels());
        PXiSampleStore store(from, from + 4u * getWidth() * getHeight() * depth);
        given.push_back(store.data());
        const PXiIRect rect = lie ? PXiIRect(0, 0, region.width() / 2, region.height()) : region;
        return PXiIBuf::adopt(rect, depth, std::move(store));
    }
    void takeBack(PXiIBuf&& used) override { takenBack.push_back(used.release().data()); }
    void fillOutputBuffer() override {
        ++fills;
        PXiMemoryImage::fillOutputBuffer();
    }
    bool giving = false, lie = false;
    int fills = 0;
    std::vector<const unsigned char*> given, takenBack;
};

// A source that gives its picture is not filled: the picture it gave is keyed in place and
// becomes the output, the other input's comes back to its source, and the output is the one
// filling would give, also for a source on both inputs. A picture of another region is refused.
TEST(RenderSource, AGivenPictureIsUsedUncopiedAndTheOthersComeBack) {
    for (const bool sameSource : {false, true}) {
        GivingImage a(8, 3, 2, 51), b(8, 3, 2, 52);
        MeanNode mean;
        mean.fg->connect(a.getOutput());
        mean.bg->connect((sameSource ? a : b).getOutput());
        const std::vector<int> filled = samplesOf(PXiRenderImage(mean.getOutput()));
        a.fills = b.fills = 0;
        a.takenBack.clear();
        b.takenBack.clear();
        a.giving = b.giving = true;
        const PXiIBuf out = PXiRenderImage(mean.getOutput());
        EXPECT_EQ(samplesOf(out), filled) << sameSource;
        EXPECT_EQ(a.fills + b.fills, 0);
        ASSERT_EQ(a.given.size(), 1u);
        if (sameSource) {
            // Fg takes a copy, Bg the picture given, which then comes back.
            EXPECT_EQ(a.takenBack, a.given);
        } else {
            EXPECT_EQ(out.getData(), a.given[0]);
            EXPECT_EQ(b.takenBack, b.given);
        }
        a.lie = true;
        EXPECT_THROW(PXiRenderImage(mean.getOutput()), PXiError);
    }
    EXPECT_THROW(PXiIBuf::adopt(PXiIRect(0, 0, 4, 4), 1, PXiSampleStore(63)), PXiError);
}

TEST(RenderGraph, FloatInputsBecomeSixteenBitClampedAndRounded) {
    PXiMemoryImage fg(2, 1, 4);
    float samples[8] = {0.5f, -0.25f, 1.5f, 0.123456f, 1.0f, 0.0f, 0.999999f, 0.25f};
    std::memcpy(fg.getPixels(), samples, sizeof samples);
    PXiMemoryImage bg(2, 1, 2);  // zero
    MeanNode node;
    node.fg->connect(fg.getOutput());
    node.bg->connect(bg.getOutput());
    EXPECT_EQ(node.getInputDepthPlug()->asInt(), 4);
    PXiIBuf out = PXiRenderImage(node.getOutput());
    ASSERT_EQ(out.getDepth(), 2);
    for (int i = 0; i < 8; ++i) {
        int widened = PXiF2S(samples[i] * 65535.0f);
        EXPECT_EQ(sampleAt(out, i / 4, 0, i % 4), i % 4 ? widened / 2 : widened) << i;
    }
}

TEST(RenderGraph, WithoutFgTheOutputIsTheBackgroundPixelAndCyclesAreRefused) {
    MeanNode node;
    auto bg = randomImage(3, 3, 1, 5);
    node.bg->connect(bg->getOutput());
    PXiIBuf out = PXiRenderImage(node.getOutput(), PXiIRect(0, 0, 3, 3));
    for (int c = 0; c < 4; ++c) EXPECT_EQ(sampleAt(out, 1, 1, c), 0);

    MeanNode a, b;
    b.fg->connect(a.getOutput());
    EXPECT_THROW(a.fg->connect(b.getOutput()), PXiError);
    EXPECT_THROW(a.fg->connect(a.getOutput()), PXiError);
}

TEST(RenderGraph, ChannelsRequestedFlowUpstreamAndEvaluationStaysLazy) {
    auto fg = randomImage(4, 4, 1, 3);
    fg->setChannels(PXiChanR | PXiChanG | PXiChanB);
    auto bg = randomImage(4, 4, 1, 4);
    MeanNode node;
    node.fg->connect(fg->getOutput());
    node.bg->connect(bg->getOutput());
    PXiRenderImage(node.getOutput(), PXiIRect(0, 0, 4, 4), PXiChanR | PXiChanA);
    EXPECT_EQ(fg->getOutput()->getReqChannelsPlug()->asInt(), PXiChanR);
    EXPECT_EQ(bg->getOutput()->getReqChannelsPlug()->asInt(), PXiChanR | PXiChanA);
    PXiRenderImage(node.getOutput(), PXiIRect(0, 0, 4, 4), PXiChanR | PXiChanA);
    EXPECT_EQ(node.descriptionEvals, 1);
    EXPECT_STREQ(node.getOutput()->getDescriptionPlug()->asString().c_str(),
                 "PXiNode(Image(4x4),Image(4x4))");
    fg->setDescription("plate   A");
    EXPECT_STREQ(node.getOutput()->getDescriptionPlug()->asString().c_str(),
                 "PXiNode(plate A,Image(4x4))");
    EXPECT_EQ(node.descriptionEvals, 2);
}

TEST(RenderThreads, EveryThreadCountGivesTheSameBytes) {
    auto fg = randomImage(13, 11, 2, 21);
    auto bg = randomImage(6, 17, 1, 22);
    fg->setDod(PXiIRect(2, 1, 10, 9));
    MeanNode node;
    node.fg->connect(fg->getOutput());
    node.bg->connect(bg->getOutput());
    const PXiIRect region(-2, -1, 14, 12);
    std::vector<std::vector<unsigned char>> results;
    for (int n : {1, 2, 3, 7}) {
        ThreadCountScope scope(n);
        PXiIBuf out = PXiRenderImage(node.getOutput(), region);
        const unsigned char* p = static_cast<const unsigned char*>(out.getData());
        size_t bytes = static_cast<size_t>(out.getRowSamples()) * out.getNumRows() * out.getDepth();
        results.emplace_back(p, p + bytes);
    }
    for (size_t i = 1; i < results.size(); ++i) EXPECT_EQ(results[i], results[0]) << i;
}

TEST(ForkThreads, EveryIndexRunsExactlyOnce) {
    for (int n : {1, 2, 3, 7, 16}) {
        ThreadCountScope scope(n);
        EXPECT_EQ(PXiThread::getThreadCount(), n);
        for (int round = 0; round < 5; ++round) {
            Tally tally(n);
            PXiThread::m_fork(countRun, &tally);
            EXPECT_EQ(tally.wrongCount.load(), 0);
            for (int i = 0; i < n; ++i)
                EXPECT_EQ(tally.runs[static_cast<size_t>(i)].load(), 1) << n << ":" << i;
        }
    }
}

TEST(ForkThreads, AWorkersExceptionReachesTheCallerAfterAllFinish) {
    ThreadCountScope scope(4);
    try {
        PXiThread::m_fork(throwOnOdd, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "worker 1");  // the lowest index that threw
    }
}

TEST(ForkThreads, NestedForksAndTheDefaultCount) {
    ThreadCountScope scope(3);
    Tally tally(3);
    PXiThread::m_fork(nestedFork, &tally);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(tally.runs[static_cast<size_t>(i)].load(), 3);
    PXiThread::setThreadCount(0);
    EXPECT_GE(PXiThread::getThreadCount(), 1);
    PXiThread::setThreadCount(100000);
    EXPECT_EQ(PXiThread::getThreadCount(), 256);
}

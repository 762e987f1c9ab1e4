// From script call to finished pixels: the node's output, rendered by the host, against a
// direct engine render of the same samples.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KeyerReference.h"
#include "KeyerTestSupport.h"
#include "engine/VRFZephraTable.h"
#include "host/KeyerTableBudget.h"
#include "host/ZephraScreenFill.h"
#include "sdk/base/PXiThread.h"
#include "sdk/image/PXiRender.h"

namespace {

struct RenderCase {
    std::string output;
    int fgDepth;
    int bgDepth;       // 0: no Bg connected
    std::string hold;  // "-": no HoldOutMatte connected; else the channel text
    int useHold;
    std::string garbage;
    int useGarbage;
    bool partialDod;
    std::string colourspace;

    std::string name() const {
        return output + " fg" + std::to_string(fgDepth) + " bg" + std::to_string(bgDepth) +
               " hold'" + hold + "'" + std::to_string(useHold) + " garbage'" + garbage + "'" +
               std::to_string(useGarbage) + (partialDod ? " dod" : "") + " " + colourspace;
    }
};

std::vector<RenderCase> renderCases() {
    const char* outputs[] = {"composite",       "compOnBlack", "compOnReplace",
                             "unpremultiplied", "status",      "bogus"};
    const int depths[][2] = {{1, 1}, {2, 2}, {1, 2}};
    const char* holds[] = {"-", "R", "g", "B", "A", ""};
    const char* garbages[] = {"-", "A", "r", "G", "b"};
    const char* spaces[] = {"linear", "log", "video"};
    std::vector<RenderCase> cases;
    int i = 0;
    for (const char* output : outputs)
        for (const auto& d : depths)
            for (bool withBg : {true, false}) {
                RenderCase c;
                c.output = output;
                c.fgDepth = d[0];
                c.bgDepth = withBg ? d[1] : 0;
                c.hold = holds[i % 6];
                c.useHold = i % 7 != 3;
                c.garbage = garbages[i % 5];
                c.useGarbage = i % 11 != 4;
                c.partialDod = i % 2 == 1;
                c.colourspace = spaces[i % 3];
                cases.push_back(c);
                ++i;
            }
    // Every letter of each matte with every other switch settled.
    for (const char* letter : {"R", "G", "B", "A", "r", "g", "b", "a", "", "Z"})
        for (int depth : {1, 2}) {
            RenderCase c{"composite", depth, depth, letter, 1, letter, 1, true, "linear"};
            cases.push_back(c);
        }
    return cases;
}

// Every parameter away from its default, so that each plug's transfer shows in the pixels.
KeyerSettings settingsFor(const RenderCase& c) {
    return KeyerSettings{c.output,
                         {0.1f, 0.2f, 0.8f},
                         0.05f,
                         {0.45f, 0.5f, 0.55f},
                         {0.4f, 0.5f, 0.6f},
                         {0.1f, 0.2f, 0.3f},
                         0.4f,
                         {0.3f, 0.6f, 0.2f},
                         {1.1f, 1.0f, 0.9f},
                         {1.0f, 1.2f, 0.8f},
                         1.2f,
                         c.colourspace,
                         c.useHold,
                         c.hold == "-" ? "A" : c.hold,
                         c.useGarbage,
                         c.garbage == "-" ? "A" : c.garbage};
}

class KeyerRender : public KeyerFixture {
protected:
    static constexpr int kW = 13, kH = 11;

    // Renders the case through a script and the host, and keys the same samples directly.
    void check(const RenderCase& c, std::vector<std::uint16_t>* nodeOut = nullptr) {
        SCOPED_TRACE(c.name());
        images_.clear();
        PXiMemoryImage* fg = image("fg", kW, kH, c.fgDepth, PXiChanAll, 11);
        const PXiIRect dod = c.partialDod ? PXiIRect(2, 3, 10, 8) : PXiIRect(0, 0, kW, kH);
        fg->setDod(dod);
        PXiMemoryImage* bg = c.bgDepth ? image("bg", kW, kH, c.bgDepth, PXiChanAll, 12) : nullptr;
        PXiMemoryImage* hold = c.hold != "-" ? image("hold", kW, kH, 1, PXiChanAll, 13) : nullptr;
        PXiMemoryImage* garbage =
            c.garbage != "-" ? image("garbage", kW, kH, 1, PXiChanAll, 14) : nullptr;
        const KeyerSettings k = settingsFor(c);
        std::string images = std::string("fg, ") + (bg ? "bg" : "0") + ", " +
                             (hold ? "hold" : "0") + ", " + (garbage ? "garbage" : "0");
        PXxZephra* node = run(k.call(images));
        ASSERT_NE(node, nullptr);
        PXiIBuf out = PXiRenderImage(node->getOutput());

        int depth = std::max(c.fgDepth, c.bgDepth);
        ASSERT_EQ(out.getDepth(), depth);
        const PXiIRect whole(0, 0, kW, kH);
        RefImage f = refImage(*fg, depth, dod);
        refPaintScreen(f, dod, k.screen);
        RefImage b, h, g;
        if (bg) b = refImage(*bg, depth, whole);
        if (hold) h = refImage(*hold, depth, whole);
        if (garbage) g = refImage(*garbage, depth, whole);
        int view = 0;
        float background[3] = {0, 0, 0};
        if (c.output == "compOnBlack") view = 1;
        if (c.output == "compOnReplace") {
            view = 1;
            for (int i = 0; i < 3; ++i) background[i] = k.replace[i];
        }
        if (c.output == "unpremultiplied") view = 4;
        if (c.output == "status") view = 5;
        if (view == 0 && !bg) view = 1;  // no plate: over black
        char holdLetter = c.hold.empty() ? 'A' : c.hold[0];
        char garbageLetter = c.garbage.empty() ? 'A' : c.garbage[0];
        refKey(f, bg ? &b : nullptr, hold && c.useHold ? &h : nullptr, holdLetter,
               garbage && c.useGarbage ? &g : nullptr, garbageLetter, k, view, background);
        std::vector<std::uint16_t> got = samplesOf(out);
        ASSERT_EQ(got.size(), f.s.size());
        int mismatches = 0;
        for (std::size_t i = 0; i < got.size() && mismatches < 5; ++i)
            if (got[i] != f.s[i]) {
                ++mismatches;
                ADD_FAILURE() << "pixel " << (i / 4) % kW << "," << i / 4 / kW << " sample "
                              << i % 4 << ": node " << got[i] << ", engine " << f.s[i];
            }
        if (nodeOut) *nodeOut = got;
    }
};

TEST_F(KeyerRender, EveryOutputDepthAndMatteEqualsADirectEngineRender) {
    for (const RenderCase& c : renderCases()) check(c);
}

// Table builds that fail (a screen colour the engine cannot work with, memory refused): the
// render driver hears of it from the node, with the kind and the engine's result; nothing
// crashes; the output is the foreground with the screen fill outside its domain of definition;
// the next evaluation after a change tries again.
TEST_F(KeyerRender, AFailedTableBuildIsReportedAndLeavesTheScreenFilledForeground) {
    struct Case {
        bool zeroScreen;  // else: every allocation of the engine refused
        PXiFillFailureKind kind;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {true, PXiFillFailureKind::kSettings, 2, "Zephra: Screen colour is zero\n"},
        {false, PXiFillFailureKind::kOutOfMemory, 3, ""},
    };
    for (const Case& c : cases)
        for (int depth : {1, 2}) {
            SCOPED_TRACE(std::to_string(c.code) + " depth " + std::to_string(depth));
            images_.clear();
            PXiMemoryImage* fg = image("fg", kW, kH, depth, PXiChanAll, 31);
            const PXiIRect dod(3, 2, 9, 7);
            fg->setDod(dod);
            image("bg", kW, kH, depth, PXiChanAll, 32);
            KeyerSettings k;
            if (c.zeroScreen) k.screen[0] = k.screen[1] = k.screen[2] = 0.0f;
            PXxZephra* node = run(k.call("fg, bg, 0, 0"));
            ASSERT_NE(node, nullptr);
            if (!c.zeroScreen)
                node->getEngine()->allocGate = [](void*, std::size_t) { return false; };
            PXiNodeFailures failures;
            ::testing::internal::CaptureStderr();
            PXiIBuf out = PXiRenderImage(node->getOutput(), &failures);
            EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
            ASSERT_EQ(failures.size(), 1u);
            EXPECT_EQ(failures[0].node, node);
            EXPECT_EQ(failures[0].failure.kind, c.kind);
            EXPECT_EQ(failures[0].failure.code, c.code);

            RefImage f = refImage(*fg, depth, dod);
            refPaintScreen(f, dod, k.screen);
            std::vector<std::uint16_t> got = samplesOf(out);
            ASSERT_EQ(got.size(), f.s.size());
            for (std::size_t i = 0; i < got.size(); ++i)
                if (i % 4 != 0) {  // B, G, R
                    ASSERT_EQ(got[i], f.s[i]) << "sample " << i;
                }

            node->getEngine()->allocGate = nullptr;
            node->rScreen->set(0.1f);
            failures.clear();
            PXiRenderImage(node->getOutput(), &failures);
            EXPECT_TRUE(failures.empty());
        }
}

// Past the budget for 16-bit tables a node frees them after each fill and builds them again
// when next needed: its pictures and its keyed background pixel stay those of a node that
// keeps its tables, over new pictures and a parameter change.
TEST_F(KeyerRender, ANodePastTheTableBudgetKeysAsOneWithinIt) {
    struct LimitScope {
        ~LimitScope() { KeyerTableBudget::setLimit(KeyerTableBudget::kDefaultLimit); }
    } restore;
    PXiMemoryImage* fg = image("fg", kW, kH, 2, PXiChanAll, 41);
    PXiMemoryImage* bg = image("bg", kW, kH, 1, PXiChanAll, 42);
    KeyerSettings k;
    KeyerTableBudget::setLimit(KeyerTableBudget::kept() + 1);
    PXxZephra* keeps = run(k.call("fg, bg, 0, 0"));
    PXiRenderImage(keeps->getOutput());
    KeyerTableBudget::setLimit(0);
    PXxZephra* frees = run(k.call("fg, bg, 0, 0"));
    ASSERT_TRUE(keeps && frees);
    for (PXxZephra* node : {keeps, frees}) node->bgColor->set(1);
    // Frames: the first; one where nothing changed; a new background pixel to key; new
    // foreground samples; a parameter change.
    for (int frame = 0; frame < 5; ++frame) {
        SCOPED_TRACE(frame);
        if (frame == 2) {
            PXiBPixel outside;
            outside.b = 0.7f;
            bg->setBPixel(outside);
        }
        if (frame == 3) {
            static_cast<std::uint16_t*>(fg->getPixels())[5] ^= 0x5555;
            fg->touch();
        }
        if (frame == 4)
            for (PXxZephra* node : {keeps, frees}) node->midtoneBalance->set(0.3f);
        const std::vector<std::uint16_t> expected = samplesOf(PXiRenderImage(keeps->getOutput()));
        EXPECT_EQ(samplesOf(PXiRenderImage(frees->getOutput())), expected);
        EXPECT_EQ(frees->getEngine()->fgLut[0], nullptr);
        EXPECT_NE(keeps->getEngine()->fgLut[0], nullptr);
        const PXiBPixel a = keeps->getOutput()->getBPixel(), b = frees->getOutput()->getBPixel();
        for (int c = 0; c < 4; ++c) EXPECT_EQ(a[c], b[c]) << c;
    }
}

// A larger Bg gives the size (clipMode 1): the band beyond the foreground lies outside its
// domain of definition and is keyed as pure screen colour.
TEST_F(KeyerRender, LargerBackgroundGivesTheSizeAndScreenBeyondTheForeground) {
    PXiMemoryImage* fg = image("fg", 6, 4, 1, PXiChanAll, 41);
    PXiMemoryImage* bg = image("bg", 10, 7, 1, PXiChanAll, 42);
    KeyerSettings k;
    k.output = "unpremultiplied";
    std::string call = k.call("fg, bg, 0, 0");
    call.replace(call.size() - 3, 1, "1");  // clipMode 1
    PXxZephra* node = run(call);
    ASSERT_NE(node, nullptr);
    PXiIBuf out = PXiRenderImage(node->getOutput());
    ASSERT_EQ(out.getWidth(), 10);
    ASSERT_EQ(out.getNumRows(), 7);

    RefImage f = refImage(*fg, 1, PXiIRect(0, 0, 6, 4));
    RefImage wide;
    wide.width = 10;
    wide.height = 7;
    wide.s.assign(10 * 7 * 4, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            for (int c = 0; c < 4; ++c) wide.at(x, y, c) = f.at(x, y, c);
    refPaintScreen(wide, PXiIRect(0, 0, 6, 4), k.screen);
    RefImage b = refImage(*bg, 1, PXiIRect(0, 0, 10, 7));
    const float black[3] = {0, 0, 0};
    refKey(wide, &b, nullptr, 'A', nullptr, 'A', k, 4, black);
    EXPECT_EQ(samplesOf(out), wide.s);
}

// 1, 2, 3 and 7 threads give the same bytes, with a domain of definition that lies inside
// some threads' bands, across others and outside the rest.
class KeyerFillThreads : public KeyerRender {
protected:
    ~KeyerFillThreads() override { PXiThread::setThreadCount(0); }
};

TEST_F(KeyerFillThreads, OneTwoThreeAndSevenThreadsGiveIdenticalBytes) {
    for (int depth : {1, 2}) {
        RenderCase c{"composite", depth, depth, "G", 1, "r", 1, true, "video"};
        std::vector<std::uint16_t> baseline;
        for (int threads : {1, 2, 3, 7}) {
            SCOPED_TRACE(threads);
            PXiThread::setThreadCount(threads);
            std::vector<std::uint16_t> got;
            check(c, &got);  // also against the direct engine render
            if (baseline.empty())
                baseline = got;
            else
                EXPECT_EQ(got, baseline);
        }
    }
}

// The screen fill alone, against painting every pixel outside the domain of definition: the
// band's rows above, across and below it, with domains inside, outside on every side, across
// the band's edges and empty; colours rounded, and clamped at both ends.
TEST(KeyerScreenFill, PaintsExactlyThePixelsOutsideTheDomain) {
    const PXiIRect band(3, 10, 12, 17);
    const std::vector<PXiIRect> dods = {
        {0, 0, 100, 100}, {5, 12, 9, 15},   {0, 0, 100, 5},   {0, 20, 100, 30},
        {0, 0, 2, 100},   {13, 0, 20, 100}, {0, 12, 100, 14}, {6, 0, 8, 100},
        {1, 8, 7, 13},    {10, 15, 30, 30}, {4, 11, 4, 16},   {5, 5, 5, 5},
    };
    const PXiBPixel screen = [] {
        PXiBPixel p;
        p.b = 0.9f;   // rounded: 229 and 58981
        p.g = -0.2f;  // clamped to 0
        p.r = 1.5f;   // clamped to the maximum
        return p;
    }();
    const float rgb[3] = {screen.r, screen.g, screen.b};
    for (const PXiIRect& dod : dods)
        for (int depth : {1, 2}) {
            SCOPED_TRACE(::testing::Message() << dod.x1 << "," << dod.y1 << "," << dod.x2 << ","
                                              << dod.y2 << " depth " << depth);
            const int w = band.width(), h = band.height(), extra = 3;
            const int row = 4 * w + extra;
            std::vector<std::uint16_t> wide(std::size_t(row) * h, 7);
            std::vector<std::uint8_t> narrow(wide.begin(), wide.end());
            PXiIRect inside = band.intersect(dod);
            if (depth == 1)
                zephraPaintScreen<std::uint8_t>(narrow.data(), row, band, inside, screen);
            else
                zephraPaintScreen<std::uint16_t>(wide.data(), row, band, inside, screen);

            for (int y = 0; y < h; ++y)
                for (int x = 0; x < row; ++x) {
                    const int px = band.x1 + x / 4, py = band.y1 + y, c = x % 4;
                    const bool inBand = x < 4 * w;
                    const bool covered = px >= dod.x1 && px < dod.x2 && py >= dod.y1 && py < dod.y2;
                    unsigned expected = 7;
                    if (inBand && !covered && c != 0) expected = refScreenSample(rgb[3 - c], depth);
                    unsigned got = depth == 1 ? narrow[std::size_t(y) * row + x]
                                              : wide[std::size_t(y) * row + x];
                    ASSERT_EQ(got, expected) << "x " << px << " y " << py << " sample " << c;
                }
        }
}

}  // namespace

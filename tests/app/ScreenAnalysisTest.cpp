// The screen analysis judged on the demo shot, whose true coverage the generator knows: the
// starter key that --analyse writes from the plate alone comes close to the demo's own
// hand-chosen settings.
#include <algorithm>
#include <cstdio>

#include "EndToEnd.h"
#include "app/DemoShot.h"
#include "app/HostError.h"
#include "app/ScreenAnalysis.h"

namespace pxhost::test {
namespace {

// Half the demo's size keeps the test quick; the shot scales with it.
constexpr int kWidth = kDemoWidth / 2;
constexpr int kHeight = kDemoHeight / 2;
// The starter key's matte error may be at most this many times the hand-chosen settings'.
constexpr double kTarget = 1.5;

class ScreenAnalysis : public EndToEnd {
protected:
    bool hasFile(const std::string& name) const {
        const std::vector<std::string> names = dir.list();
        return std::find(names.begin(), names.end(), name) != names.end();
    }
    // Mean difference between the alpha of a key and the shot's true coverage, 0..1.
    double matteError(const std::string& keyFile, const Raster& coverage) {
        const Raster key = readImage(dir / keyFile);
        EXPECT_EQ(key.width, coverage.width);
        double sum = 0;
        for (int y = 0; y < coverage.height; ++y)
            for (int x = 0; x < coverage.width; ++x)
                sum += std::fabs(at(key, x, y, kSampleA) - at(coverage, x, y, kSampleA));
        return sum / (double(coverage.width) * coverage.height);
    }
};

TEST_F(ScreenAnalysis, StarterKeyIsCloseToTheHandChosenOne) {
    write("plate.png", makeDemoForeground(kWidth, kHeight));
    const Raster coverage = makeDemoCoverage(kWidth, kHeight);

    const RunResult analysed = run({"--analyse", "plate.png"});
    ASSERT_EQ(analysed.status, 0) << analysed.err;
    EXPECT_TRUE(hasFile("plate-status.png"));
    ASSERT_TRUE(hasFile("plate-key.pxs"));
    const RunResult starter = run({"plate-key.pxs"});
    ASSERT_EQ(starter.status, 0) << starter.err;

    char hand[512];
    std::snprintf(hand, sizeof hand,
                  "FileOut(Zephra_1v4(FileIn(\"plate.png\"), 0, 0, 0, output = "
                  "\"unpremultiplied\", rScreen = %g, gScreen = %g, bScreen = %g, screenRange = "
                  "%g), \"hand.png\");",
                  kDemoKeyScreen[0], kDemoKeyScreen[1], kDemoKeyScreen[2], kDemoKeyScreenRange);
    const RunResult handRun = runScript(hand);
    ASSERT_EQ(handRun.status, 0) << handRun.err;

    const double starterError = matteError("plate-key.png", coverage);
    const double handError = matteError("hand.png", coverage);
    RecordProperty("starter_matte_error", std::to_string(starterError));
    RecordProperty("hand_chosen_matte_error", std::to_string(handError));
    std::printf("mean matte error against the true coverage: starter %.5f, hand-chosen %.5f\n",
                starterError, handError);
    EXPECT_LE(starterError, kTarget * handError);
}

TEST(ScreenRegion, ParsesFourWholeNumbersAndRefusesTheRest) {
    const Region r = parseRegion("10,20,300,40");
    EXPECT_EQ(r.x + r.y + r.width + r.height, 370);
    for (const char* bad : {"", "1,2,3", "1,2,3,0", "-1,2,3,4", "1,2,3,4,5", "a,b,c,d", "1,2,3,4x"})
        EXPECT_THROW(parseRegion(bad), UsageError) << bad;
}

TEST(ScreenRegion, ARegionWithoutScreenOrOutsideThePlateIsRefused) {
    Raster grey;
    grey.allocate(8, 8, 1, kChanRGB);
    std::fill(grey.samples.begin(), grey.samples.end(), 128);
    EXPECT_THROW(estimateScreen(grey, {}), UsageError);
    EXPECT_THROW(estimateScreen(grey, {4, 4, 8, 8}), UsageError);
}

}  // namespace
}  // namespace pxhost::test

#pragma once
// Shared fixture of the end-to-end tests: a scratch folder, pictures made in it, and runs of
// the built program there.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "app/ImageFile.h"

namespace pxhost::test {

#ifdef PXHOST_PATH
constexpr const char* kProgram = PXHOST_PATH;
#else
constexpr const char* kProgram = "pxhost";
#endif

// Colours of the test plate, 0..1.
constexpr float kScreenB = 0.9f;  // the keyer's default screen colour is (0, 0, 0.9)
constexpr float kSubject[3] = {0.8f, 0.2f, 0.1f};
constexpr float kBackground[3] = {0.2f, 0.6f, 0.3f};
constexpr float kReplace = 0.5f;  // the default spill replace colour

class EndToEnd : public ::testing::Test {
public:
    // Sample s (kSampleA..kSampleR) of pixel (x, y), 0..1.
    static float at(const Raster& r, int x, int y, int s) {
        const size_t i = (static_cast<size_t>(y) * r.width + x) * 4 + s;
        if (r.depth == 1) return r.data<uint8_t>()[i] / 255.0f;
        if (r.depth == 2) return r.data<uint16_t>()[i] / 65535.0f;
        return r.data<float>()[i];
    }

protected:
    static int maxOf(int depth) { return depth == 1 ? 255 : 65535; }

    // Stores a colour at one pixel; float rasters take it as is, integer ones scaled. The
    // screen's blue is rounded up so that it is at least the keyer's screen colour.
    static void put(Raster& r, int x, int y, float red, float green, float blue, float alpha) {
        const float v[4] = {alpha, blue, green, red};
        for (int s = 0; s < 4; ++s) {
            const size_t i = (static_cast<size_t>(y) * r.width + x) * 4 + s;
            if (r.depth == 4) {
                r.data<float>()[i] = v[s];
            } else {
                const float scaled = v[s] * maxOf(r.depth);
                const auto q = static_cast<unsigned>(s == 1 ? std::ceil(scaled) : scaled + 0.5f);
                if (r.depth == 1) r.data<uint8_t>()[i] = static_cast<uint8_t>(q);
                if (r.depth == 2) r.data<uint16_t>()[i] = static_cast<uint16_t>(q);
            }
        }
    }

    // The foreground plate: the left half screen, the right half the subject; RGB.
    static Raster plate(int depth, int width = 16, int height = 9) {
        Raster r;
        r.allocate(width, height, depth, kChanRGB);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                if (x < width / 2)
                    put(r, x, y, 0, 0, kScreenB, 0);
                else
                    put(r, x, y, kSubject[0], kSubject[1], kSubject[2], 0);
            }
        return r;
    }

    static Raster flat(int depth, const float rgb[3], int width = 16, int height = 9) {
        Raster r;
        r.allocate(width, height, depth, kChanRGB);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) put(r, x, y, rgb[0], rgb[1], rgb[2], 0);
        return r;
    }

    void write(const std::string& name, const Raster& r) { writeImage(dir / name, r, {}); }

    RunResult run(const std::vector<std::string>& args) {
        std::vector<std::string> all = {"-q"};
        all.insert(all.end(), args.begin(), args.end());
        return runProgram(kProgram, all, dir.path());
    }
    RunResult runScript(const std::string& script, std::vector<std::string> args = {}) {
        writeText(dir / "script.pxs", script);
        args.push_back("script.pxs");
        return run(args);
    }

    // Files in the folder besides the script and the inputs the test made.
    std::vector<std::string> outputsBesides(const std::vector<std::string>& inputs) const {
        std::vector<std::string> out;
        for (const std::string& n : dir.list())
            if (n != "script.pxs" && std::find(inputs.begin(), inputs.end(), n) == inputs.end())
                out.push_back(n);
        return out;
    }

    TempDir dir;
};

}  // namespace pxhost::test

#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/PXxZephra.h"
#include "sdk/graph/PXiIPlug.h"
#include "sdk/image/PXiMemoryImage.h"
#include "sdk/script/PXiCmplr.h"
#include "sdk/script/PXiScriptRunner.h"

// Images made in the tests, named in a scope that scripts run in; keyer nodes made by
// scripts hang under the root and are deleted before the images.
class KeyerFixture : public ::testing::Test {
protected:
    KeyerFixture() : scope_(PXiScope::getGlobal()) {}
    ~KeyerFixture() override { PXiNode::getRoot()->deleteChildren(); }

    // A width x height image at depth 1, 2 or 4 with random samples (seeded), named `name`
    // in the scripts' scope.
    PXiMemoryImage* image(const std::string& name, int width, int height, int depth,
                          int channels = PXiChanAll, unsigned seed = 1) {
        images_.push_back(std::make_unique<PXiMemoryImage>(width, height, depth, channels));
        PXiMemoryImage* img = images_.back().get();
        std::mt19937 rng(seed);
        const std::size_t samples = std::size_t(width) * height * 4;
        if (depth == 1) {
            auto* p = static_cast<std::uint8_t*>(img->getPixels());
            for (std::size_t i = 0; i < samples; ++i) p[i] = std::uint8_t(rng() & 0xff);
        } else if (depth == 2) {
            auto* p = static_cast<std::uint16_t*>(img->getPixels());
            for (std::size_t i = 0; i < samples; ++i) p[i] = std::uint16_t(rng() & 0xffff);
        } else {
            auto* p = static_cast<float*>(img->getPixels());
            for (std::size_t i = 0; i < samples; ++i) p[i] = float(rng() % 1001) / 1000.0f;
        }
        img->setDescription(name.c_str());
        scope_.setValue(name, PXiValue::ofImage(img->getOutput()));
        return img;
    }

    // Runs a script; returns the keyer node behind the image it assigned to `result`.
    PXxZephra* run(const std::string& text, const std::string& result = "k") {
        PXiScriptResult r = PXiRunScript(text, "test.pxs", &scope_);
        EXPECT_TRUE(r.ok()) << (r.error ? r.error->what() : std::string()) << "\n" << text;
        PXiIPlug* out = r.image(result);
        if (!out) return nullptr;
        return dynamic_cast<PXxZephra*>(out->getNode());
    }

    // A node made by the plain constructor (as the host's instantiate does), owned by the root.
    PXxZephra* plainNode() {
        auto* node = new PXxZephra();
        node->setParent(PXiNode::getRoot());
        return node;
    }

    PXiScope scope_;
    std::vector<std::unique_ptr<PXiMemoryImage>> images_;
};

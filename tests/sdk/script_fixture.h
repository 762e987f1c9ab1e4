#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sdk/script/PXiCmplr.h"
#include "sdk/script/PXiScriptRunner.h"

// Stand-ins for upstream images: distinct addresses that the script machinery only passes on.
inline PXiIPlug* fakeImage(int n) {
    return reinterpret_cast<PXiIPlug*>(static_cast<std::uintptr_t>(0x10000 + 64 * n));
}

// Host functions that record every call and return a new fake image each time, so that tests
// can follow which image went where.
class CallRecorder {
public:
    struct Call {
        std::string function;
        std::vector<PXiIPlug*> images;
        std::vector<std::string> texts;
        PXiIPlug* result;
    };

    PXiHostFunction function() {
        return [this](const PXiScriptCall& c) {
            Call call{c.function.name, c.images, {}, fakeImage(1000 + int(calls.size()))};
            for (const char* t : c.texts) call.texts.emplace_back(t);
            calls.push_back(call);
            return call.result;
        };
    }

    std::vector<Call> calls;
};

// A scope of its own with a few built-ins bound to a recorder.
class ScriptFixture : public ::testing::Test {
protected:
    void SetUp() override {
        declare("extern image FileIn(string path);");
        declare("extern image Over(image, image, float mix = 1.0);");
        declare("extern image Blur(image, float size = 2, float ySize = size);");
        declare("extern image FileOut(image, string path, string format = \"png\");");
        declare("extern image Grade(image in = 0, float gain = 1);");
    }

    void declare(const std::string& text) {
        PXiCmplr compiler;
        ASSERT_EQ(compiler.declareHostFunction(&root, text, recorder.function(), "builtins"),
                  PXiCmplr::kOk)
            << compiler.lastError()->what();
    }

    PXiScriptResult run(const std::string& text) { return PXiRunScript(text, "comp.pxs", &root); }

    PXiScope root;
    CallRecorder recorder;
};

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sdk/base/PXiName.h"

TEST(Name, EqualTextsGiveTheIdenticalName) {
    std::string text = "rScreen";
    PXiName a = PXiName::getString(text.c_str());
    PXiName b = PXiName::getString(std::string("rScr") + "een");
    EXPECT_EQ(a.identity(), b.identity());
    EXPECT_NE(PXiName::getString("rscreen"), a);  // case-sensitive
    EXPECT_NE(PXiName::getString("rScreen "), a);
    EXPECT_EQ(PXiName(), PXiName::getString(""));
    EXPECT_EQ(PXiName(), PXiName::getString(nullptr));
    EXPECT_TRUE(PXiName().empty());
}

TEST(Name, UpperCaseAndSprintf) {
    EXPECT_EQ(PXiName::getString("g").upperCase(), PXiName::getString("G"));
    EXPECT_EQ(PXiName::getString("aB1_z").upperCase(), PXiName::getString("AB1_Z"));
    EXPECT_EQ(PXiName::sprintf("%s(%d,%g)", "K", 3, 0.5), PXiName::getString("K(3,0.5)"));
    std::string big(1000, 'x');
    EXPECT_EQ(PXiName::sprintf("<%s>", big.c_str()), PXiName::getString("<" + big + ">"));
}

TEST(Name, CompressKeepsMeaningAndTidiesLayout) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"  a   b\t\nc  ", "a b c"},
        {"K( x , y ,z )", "K(x,y,z)"},
        {"f(0.500000,2.000,1.250e+03,.50)", "f(0.5,2,1.25e+03,.5)"},
        {"Zephra_1v4(10.0.1, v2.50, 100, 0.0)", "Zephra_1v4(10.0.1,v2.50,100,0)"},
        {"s(\"  keep  0.50 \\\" inside \", 1.10)", "s(\"  keep  0.50 \\\" inside \",1.1)"},
        {"", ""},
        {"unterminated \"  quote", "unterminated \"  quote"},
    };
    for (const Case& c : cases) {
        PXiName once = PXiName::getString(c.in).compress();
        EXPECT_STREQ(once.c_str(), c.out) << "input: " << c.in;
        EXPECT_EQ(once.compress(), once) << "compress is idempotent for: " << c.in;
    }
}

TEST(NameThreads, InterningFromManyThreadsGivesOneNamePerText) {
    const int threads = 8, texts = 500;
    std::vector<std::vector<const void*>> seen(threads, std::vector<const void*>(texts));
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            for (int i = 0; i < texts; ++i) {
                // Each thread walks the texts in a different order, so creations collide.
                int k = (t % 2 ? texts - 1 - i : i + t * 37) % texts;
                seen[t][k] = PXiName::sprintf("threaded-name-%d", k).identity();
            }
        });
    }
    for (std::thread& th : pool) th.join();
    std::set<const void*> distinct;
    for (int i = 0; i < texts; ++i) {
        for (int t = 1; t < threads; ++t) EXPECT_EQ(seen[t][i], seen[0][i]);
        distinct.insert(seen[0][i]);
        EXPECT_EQ(PXiName::sprintf("threaded-name-%d", i).identity(), seen[0][i]);
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(texts));
}

// Pixels between file order (R, G, B[, A]) and raster order (A, B, G, R): every compiled copy
// of the loops against a pixel-by-pixel reference, over lengths around the vector widths and
// at unaligned starts.
#include <gtest/gtest.h>
#include <cstdint>
#include <vector>

#include "app/Raster.h"
#include "app/SampleRows.h"

namespace pxhost {
namespace {

template <typename T>
class SampleRows : public ::testing::Test {};
using SampleTypes = ::testing::Types<uint8_t, uint16_t, float>;
TYPED_TEST_SUITE(SampleRows, SampleTypes);

TYPED_TEST(SampleRows, EveryCopyMatchesThePixelByPixelOrder) {
    using T = TypeParam;
    constexpr size_t kLengths[] = {0, 1, 2, 15, 16, 17, 31, 33, 64, 1921};
    constexpr size_t kOffset = 1;  // starts off the vector alignment
    for (RowIsa isa : {RowIsa::best, RowIsa::portable, RowIsa::avx2}) {
        if (!rowIsaAvailable(isa)) continue;
        for (int n : {3, 4}) {
            for (size_t pixels : kLengths) {
                SCOPED_TRACE(testing::Message() << "isa " << static_cast<int>(isa) << ", " << n
                                                << " samples, " << pixels << " pixels");
                std::vector<T> file(kOffset + pixels * n);
                for (size_t i = 0; i < file.size(); ++i) file[i] = T(i * 37 + 11);
                // One pixel past the end on each side stays untouched.
                const T kGuard = T(99);
                std::vector<T> raster(kOffset + pixels * 4 + 4, kGuard);
                fileToRaster(file.data() + kOffset, n, pixels, raster.data() + kOffset, isa);
                for (size_t p = 0; p < pixels; ++p) {
                    const T* f = file.data() + kOffset + p * n;
                    const T* r = raster.data() + kOffset + p * 4;
                    ASSERT_EQ(r[kSampleR], f[0]) << p;
                    ASSERT_EQ(r[kSampleG], f[1]) << p;
                    ASSERT_EQ(r[kSampleB], f[2]) << p;
                    ASSERT_EQ(r[kSampleA], n == 4 ? f[3] : T(0)) << p;
                }
                EXPECT_EQ(raster[0], kGuard);
                EXPECT_EQ(raster[kOffset + pixels * 4], kGuard);

                std::vector<T> back(kOffset + pixels * n + n, kGuard);
                rasterToFile(raster.data() + kOffset, pixels, n, back.data() + kOffset, isa);
                for (size_t i = 0; i < pixels * n; ++i)
                    ASSERT_EQ(back[kOffset + i], file[kOffset + i]) << i;
                EXPECT_EQ(back[0], kGuard);
                EXPECT_EQ(back[kOffset + pixels * n], kGuard);
            }
        }
    }
}

}  // namespace
}  // namespace pxhost

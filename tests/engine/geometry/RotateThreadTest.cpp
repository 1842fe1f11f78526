#include "engine/geometry/Rotate.h"

#include "support/TestPixmap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace testsupport;

// An angle without a sine or cosine (NaN, infinite) has factors of 0 and sends
// every pixel to the output's corner. That is no permutation: the rows run in
// order on one thread and the last pixel wins, instead of bands racing on it.
TEST(Rotate, AngleWithoutSineOrCosineRunsInRowOrder)
{
    const int32_t w = 64, h = 64;
    TestPixmap<> input = MakePixmap(FPixmap::PIXEL_32_BGRA, w, h, 5);
    for (double angle : {std::nan(""), double(INFINITY)}) {
        for (int run = 0; run < 20; ++run) {
            TestPixmap<> output = MakePixmap(FPixmap::PIXEL_32_BGRA, w, h, 6);
            Rotate(input.get(), output.get(), angle);
            ASSERT_EQ(std::memcmp(output->GetRow(0), input->GetRow(h - 1) + (w - 1) * 4, 4), 0) << angle;
        }
    }
}

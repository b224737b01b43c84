// The conversion's file image: a large one grows in its reservation, and
// past it by moving, with every byte kept.
#include "image.h"
#include "testutil.h"

namespace {

const size_t kLarge = 8u << 20;  // large enough to be reserved, not on the heap

void fill(unsigned char *data, size_t size)
{
    for (size_t i = 0; i < size; i++)
        data[i] = static_cast<unsigned char>(i * 7 + i / 251);
}

bool holds_fill(const unsigned char *data, size_t size)
{
    for (size_t i = 0; i < size; i++) {
        if (data[i] != static_cast<unsigned char>(i * 7 + i / 251))
            return false;
    }
    return true;
}

}  // namespace

TEST(Image, GrowsWithinAndBeyondItsRoomKeepingTheBytes)
{
    for (size_t size : {size_t{0}, size_t{100}, kLarge}) {
        Image image = {NULL, 0, 0};
        ASSERT_TRUE(image_alloc(&image, size)) << size;
        fill(image.data, size);
        size_t within = size + size / 8 + 1;
        ASSERT_TRUE(image_grow(&image, within)) << size;
        EXPECT_TRUE(holds_fill(image.data, size)) << size;
        image.data[within - 1] = 0xA5;
        // Past any reservation: the image moves.
        size_t beyond = (image.reserved > 0 ? image.reserved : within) + 4096;
        ASSERT_TRUE(image_grow(&image, beyond)) << size;
        EXPECT_TRUE(holds_fill(image.data, size)) << size;
        EXPECT_EQ(0xA5, image.data[within - 1]) << size;
        image.data[beyond - 1] = 1;
        // Asking for less keeps what is there.
        ASSERT_TRUE(image_grow(&image, within)) << size;
        EXPECT_TRUE(holds_fill(image.data, size)) << size;
        image_free(&image);
        EXPECT_EQ(NULL, image.data);
    }
}

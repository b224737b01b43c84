// Where the address space has no room for a large image's largest growth
// (a 32-bit process and a file of a gibibyte), a smaller reservation takes
// its place, and the image still grows to the converted size.
#include "image.h"
#include "testutil.h"
#include "winposix.h"

TEST(ImageFaults, SmallerRoomWhenTheLargestReservationFails)
{
    const size_t kSize = 8u << 20;
    const struct {
        bool largest_fails;
        size_t reserved;
    } cases[] = {
        {false, 2 * kSize + 2},
        {true, kSize + kSize / 4 + 2},
    };
    for (const auto &c : cases) {
        winposix_fail_reset();
        if (c.largest_fails)
            winposix_fail_nth(WINPOSIX_CALL_RESERVE, 1, ERROR_NOT_ENOUGH_MEMORY);
        Image image = {NULL, 0, 0};
        ASSERT_TRUE(image_alloc(&image, kSize)) << c.largest_fails;
        winposix_fail_reset();
        EXPECT_EQ(c.reserved, image.reserved) << c.largest_fails;
        image.data[0] = 'a';
        image.data[kSize - 1] = 'z';
        ASSERT_TRUE(image_grow(&image, kSize + kSize / 2)) << c.largest_fails;
        EXPECT_EQ('a', image.data[0]);
        EXPECT_EQ('z', image.data[kSize - 1]);
        image.data[kSize + kSize / 2 - 1] = '!';
        image_free(&image);
    }
}

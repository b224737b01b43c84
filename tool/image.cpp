#include "image.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "fslib.h"

// Smaller images live on the heap, where allocation costs no system call.
static const size_t kReserveFrom = 4u << 20;

// Every byte can at most turn into two, and a last byte can gain CR LF.
static bool largest_size(size_t size, size_t *largest)
{
    uint64_t wanted = static_cast<uint64_t>(size) * 2 + 2;
    if (wanted > SIZE_MAX)
        return false;
    *largest = static_cast<size_t>(wanted);
    return true;
}

// Reserves `room` bytes of address space and commits the first `size`.
static bool reserve_room(Image *image, size_t size, size_t room)
{
    void *base = VirtualAlloc(NULL, room, MEM_RESERVE, PAGE_NOACCESS);
    if (base == NULL)
        return false;
    if (VirtualAlloc(base, size > 0 ? size : 1, MEM_COMMIT, PAGE_READWRITE) == NULL) {
        VirtualFree(base, 0, MEM_RELEASE);
        return false;
    }
    image->data = static_cast<unsigned char *>(base);
    image->reserved = room;
    image->used = size;
    return true;
}

// A 32-bit process may not find twice a large file's size in one piece;
// a quarter more covers the growth of ordinary text (a byte a line), and
// a file that grows beyond it is moved.
static bool reserve(Image *image, size_t size)
{
    size_t largest;
    if (largest_size(size, &largest) && reserve_room(image, size, largest))
        return true;
    return reserve_room(image, size, size + size / 4 + 2);
}

static bool move_to_larger(Image *image, size_t size)
{
    Image larger;
    if (!reserve_room(&larger, size, size))
        return false;
    memcpy(larger.data, image->data, image->used);
    VirtualFree(image->data, 0, MEM_RELEASE);
    *image = larger;
    return true;
}

bool image_alloc(Image *image, size_t size)
{
    if (size >= kReserveFrom && reserve(image, size))
        return true;
    image->data = static_cast<unsigned char *>(malloc(size > 0 ? size : 1));
    image->reserved = 0;
    image->used = size;
    return image->data != NULL;
}

bool image_grow(Image *image, size_t size)
{
    if (image->reserved != 0) {
        if (size > image->reserved)
            return move_to_larger(image, size);
        if (size > image->used) {
            // Only the new part: committing asks the system to make every
            // page of the range ready, and the old part is ready already.
            if (VirtualAlloc(image->data + image->used, size - image->used, MEM_COMMIT, PAGE_READWRITE) ==
                NULL)
                return false;
            image->used = size;
        }
        return true;
    }
    unsigned char *grown = static_cast<unsigned char *>(realloc(image->data, size > 0 ? size : 1));
    if (grown == NULL)
        return false;
    image->data = grown;
    image->used = size;
    return true;
}

void image_free(Image *image)
{
    if (image->data == NULL)
        return;
    if (image->reserved != 0)
        VirtualFree(image->data, 0, MEM_RELEASE);
    else
        free(image->data);
    image->data = NULL;
}

#include "image.h"

#include <stdint.h>
#include <stdlib.h>

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

static bool reserve(Image *image, size_t size)
{
    size_t largest;
    if (!largest_size(size, &largest))
        return false;
    void *base = VirtualAlloc(NULL, largest, MEM_RESERVE, PAGE_NOACCESS);
    if (base == NULL)
        return false;
    if (VirtualAlloc(base, size > 0 ? size : 1, MEM_COMMIT, PAGE_READWRITE) == NULL) {
        VirtualFree(base, 0, MEM_RELEASE);
        return false;
    }
    image->data = static_cast<unsigned char *>(base);
    image->reserved = largest;
    return true;
}

bool image_alloc(Image *image, size_t size)
{
    if (size >= kReserveFrom && reserve(image, size))
        return true;
    image->data = static_cast<unsigned char *>(malloc(size > 0 ? size : 1));
    image->reserved = 0;
    return image->data != NULL;
}

bool image_grow(Image *image, size_t size)
{
    if (image->reserved != 0) {
        if (size > image->reserved)
            return false;
        return VirtualAlloc(image->data, size, MEM_COMMIT, PAGE_READWRITE) != NULL;
    }
    unsigned char *grown = static_cast<unsigned char *>(realloc(image->data, size > 0 ? size : 1));
    if (grown == NULL)
        return false;
    image->data = grown;
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

// The buffer that holds a file image while it is converted. It is sized
// for the file as read and can then be grown in place to the converted
// size: where the address space allows, room for the largest possible
// growth is reserved up front and only committed when needed.
#ifndef DRAVICK_IMAGE_H
#define DRAVICK_IMAGE_H

#include <stddef.h>

struct Image {
    unsigned char *data;
    size_t reserved;  // 0: the buffer is an ordinary heap block
    size_t used;      // bytes the image holds room for now
};

// False when no memory could be had.
bool image_alloc(Image *image, size_t size);
bool image_grow(Image *image, size_t size);
void image_free(Image *image);

#endif

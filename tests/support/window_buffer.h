// A conversion buffer with a window of the test's choosing, so that window
// boundaries fall where a test wants them. It is exactly as large as the
// passes ask, so that a sanitizer sees any write past it.
#ifndef TESTS_WINDOW_BUFFER_H
#define TESTS_WINDOW_BUFFER_H

#include <vector>

#include "stream.h"

struct TestWindowBuffer {
    std::vector<unsigned char> memory;
    StreamBuffer buffer;

    explicit TestWindowBuffer(size_t window) : memory(stream_buffer_size(window))
    {
        buffer.data = memory.data();
        buffer.window = window;
    }
};

#endif

// A conversion buffer with a window of the test's choosing, so that window
// boundaries fall where a test wants them.
#ifndef TESTS_WINDOW_BUFFER_H
#define TESTS_WINDOW_BUFFER_H

#include <stdint.h>

#include <vector>

#include "stream.h"

struct TestWindowBuffer {
    std::vector<unsigned char> memory;
    StreamBuffer buffer;

    explicit TestWindowBuffer(size_t window) : memory(stream_buffer_size(window) + 4096)
    {
        uintptr_t at = reinterpret_cast<uintptr_t>(memory.data());
        buffer.data = memory.data() + (4096 - at % 4096) % 4096;
        buffer.window = window;
    }
};

#endif

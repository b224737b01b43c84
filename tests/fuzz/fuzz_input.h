// Reading a fuzz input as a few small numbers followed by texts separated by
// zero bytes, so that seeds can be written by hand.
#ifndef TESTS_FUZZ_INPUT_H
#define TESTS_FUZZ_INPUT_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

struct FuzzInput {
    const uint8_t *data;
    size_t size;
    size_t at;
};

inline FuzzInput fuzz_input(const uint8_t *data, size_t size) { return FuzzInput{data, size, 0}; }

inline bool fuzz_done(const FuzzInput &in) { return in.at >= in.size; }

// A byte; 0 once the input is used up.
inline unsigned fuzz_byte(FuzzInput *in) { return in->at < in->size ? in->data[in->at++] : 0; }

// Two bytes, the low one first.
inline unsigned fuzz_u16(FuzzInput *in)
{
    unsigned low = fuzz_byte(in);
    return low | fuzz_byte(in) << 8;
}

// The bytes up to the next zero byte (which is passed over) or the end.
inline std::string fuzz_text(FuzzInput *in)
{
    const uint8_t *start = in->data + in->at;
    size_t left = in->size - in->at;
    const void *zero = memchr(start, 0, left);
    size_t length = zero ? static_cast<size_t>(static_cast<const uint8_t *>(zero) - start) : left;
    in->at += zero ? length + 1 : length;
    return std::string(reinterpret_cast<const char *>(start), length);
}

// A heap block of exactly `size` bytes (none for 0 or less), so that the
// address sanitizer reports the first byte written past it.
inline char *fuzz_block(int size)
{
    return static_cast<char *>(malloc(size > 0 ? static_cast<size_t>(size) : 0));
}

// True when the block of `size` bytes holds a zero.
inline bool fuzz_terminated(const char *block, int size)
{
    return size > 0 && memchr(block, 0, static_cast<size_t>(size)) != nullptr;
}

#endif

// A plain, byte-at-a-time reading of the conversion's pair reader, kept as
// the reference that the fast passes are compared with.
#ifndef TESTS_PAIR_READER_H
#define TESTS_PAIR_READER_H

#include <stdint.h>

#include <string>

struct PairReaderResult {
    std::string output;
    int64_t growth;
};

PairReaderResult pair_reader_convert(const std::string &input);

// The same for UTF-16 text of an even length, in the byte order given,
// by way of the reader above: every unit other than CR and LF stands in
// for one other byte there, and the reader's output is turned back into
// units in that order. Growth in bytes.
PairReaderResult pair_reader_convert_utf16(const std::string &input, bool little_endian);

#endif

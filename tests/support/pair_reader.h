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

#endif

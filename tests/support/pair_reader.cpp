#include "pair_reader.h"

PairReaderResult pair_reader_convert(const std::string &input)
{
    const int CR = 13;
    const int LF = 10;
    PairReaderResult result{std::string(), 0};
    size_t cursor = 0;
    size_t end = input.size();
    int lookahead = -1;
    for (;;) {
        int current;
        if (lookahead < 0) {
            if (cursor == end)
                break;
            current = static_cast<unsigned char>(input[cursor++]);
            lookahead = cursor < end ? static_cast<unsigned char>(input[cursor++]) : -1;
        } else {
            current = lookahead;
            lookahead = cursor < end ? static_cast<unsigned char>(input[cursor++]) : -1;
        }
        if (current == LF && lookahead == CR) {
            result.output += "\r\n";
            lookahead = -1;
        } else if (current == CR && lookahead == LF) {
            result.output += "\r\n";
            lookahead = -1;
        } else if (current == LF) {
            result.output += "\r\n";
            result.growth += 1;
        } else if (lookahead >= 0) {
            result.output += static_cast<char>(current);
        } else {
            result.output += static_cast<char>(current);
            result.output += "\r\n";
            result.growth += 2;
        }
    }
    return result;
}

PairReaderResult pair_reader_convert_utf16(const std::string &input, bool little_endian)
{
    std::string units;  // the units in their byte order
    std::string bytes;  // one byte each for the reader
    for (size_t i = 0; i + 1 < input.size(); i += 2) {
        unsigned char low = static_cast<unsigned char>(input[i + (little_endian ? 0 : 1)]);
        unsigned char high = static_cast<unsigned char>(input[i + (little_endian ? 1 : 0)]);
        bool is_break = high == 0 && (low == 13 || low == 10);
        bytes += is_break ? static_cast<char>(low) : 'x';
        if (!is_break)
            units += input.substr(i, 2);
    }
    PairReaderResult read = pair_reader_convert(bytes);
    PairReaderResult result{std::string(), 2 * read.growth};
    size_t next = 0;
    for (char c : read.output) {
        if (c == 'x') {
            result.output += units.substr(next, 2);
            next += 2;
        } else {
            result.output += little_endian ? std::string{c, '\0'} : std::string{'\0', c};
        }
    }
    return result;
}

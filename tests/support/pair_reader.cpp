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

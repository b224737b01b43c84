// The system's English message texts per error code, as the tests expect
// them from FormatMessageA. Wine words its messages in its own way, so each
// code carries two columns: the text of Windows itself, which the POSIX layer
// and Windows give, and Wine's, which the Windows build gives under Wine.
#ifndef TESTS_UNIT_SYSTEM_MESSAGES_H
#define TESTS_UNIT_SYSTEM_MESSAGES_H

#include <string>

struct ExpectedMessage {
    unsigned code;
    const char *windows;  // the text of Windows itself, CR LF included
    const char *wine;     // Wine's text, or null where Wine has none
};

extern const ExpectedMessage expected_messages[];
extern const int expected_message_count;

// True where the messages come from Wine; each target defines it in its
// own source (unit/posix, unit/win).
bool messages_of_wine();

// The column of `m` the running system must give: null where it has no
// message for the code.
const char *expected_text(const ExpectedMessage &m);

// The running system's text for a code; empty where it has none or the
// table does not hold the code.
std::string system_text_for(unsigned code);

// True when `text` is the running system's text for `code` followed
// directly by `suffix`, the whole cut to `limit` characters.
bool is_system_text(unsigned code, const std::string &suffix, const std::string &text,
                    size_t limit = 251);

#endif

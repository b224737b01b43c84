// The system's English message texts per error code, as the tests expect
// them from FormatMessageA. Wine words its messages in its own way, so each
// code carries the Windows text and Wine's.
#ifndef TESTS_UNIT_SYSTEM_MESSAGES_H
#define TESTS_UNIT_SYSTEM_MESSAGES_H

#include <string>
#include <vector>

struct ExpectedMessage {
    unsigned code;
    const char *windows;  // the text of Windows itself, CR LF included
    const char *wine;     // Wine's text, or null where Wine has none
};

extern const ExpectedMessage expected_messages[];
extern const int expected_message_count;

// The texts a system may give for a code: Windows', and Wine's (empty when
// Wine has no message). Empty alone for a code the table does not hold.
std::vector<std::string> system_texts_for(unsigned code);

// True when `text` is one of the system's texts for `code` followed
// directly by `suffix`, the whole cut to `limit` characters.
bool is_system_text(unsigned code, const std::string &suffix, const std::string &text,
                    size_t limit = 251);

#endif

// Error records under arbitrary texts, codes and sizes. The first byte picks
// one of four checks:
//   '0' token substitution, against a reference written from the rules;
//   '1' an internal error whose table text is a format with one "%s";
//   '2' a system error's text with its suffix;
//   '3' the bounded print, against the C library's own formatting.
// Every buffer is a heap block of exactly its stated size and every record
// must stay terminated within its 252 bytes; the sanitizers report any byte
// written past one.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "fslib.h"
#include "fuzz_input.h"

typedef std::vector<std::pair<std::string, std::string>> Catalogue;

static void require(bool ok, const char *what)
{
    if (!ok) {
        fprintf(stderr, "fuzz_errors: %s\n", what);
        abort();
    }
}

static std::string without_percent(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '%'), text.end());
    return text;
}

// Pairs of name and text up to the end of the input; an empty name would end
// the catalogue's block, so such pairs are left out.
static Catalogue read_catalogue(FuzzInput *in, bool plain_texts)
{
    Catalogue catalogue;
    while (!fuzz_done(*in) && catalogue.size() < 16) {
        std::string name = fuzz_text(in);
        std::string text = fuzz_text(in);
        if (plain_texts)
            text = without_percent(text);
        if (!name.empty())
            catalogue.push_back(std::make_pair(name, text));
    }
    return catalogue;
}

// The block the library reads: name, zero, text, zero, ... and an empty name.
static std::string catalogue_block(const Catalogue &catalogue)
{
    std::string block;
    for (const auto &pair : catalogue) {
        block += pair.first;
        block += '\0';
        block += pair.second;
        block += '\0';
    }
    block += '\0';
    return block;
}

static std::string catalogue_lookup(const Catalogue &catalogue, const std::string &name)
{
    for (const auto &pair : catalogue) {
        if (pair.first == name)
            return pair.second;
    }
    return name;
}

// Substitution by the rules: "{{" stands for one brace and the character
// after it is passed over; a token is a name of at most 30 characters in
// braces and is replaced by its catalogue text, or its bare name, when the
// result still fits `size` bytes with its zero; the scan goes on inside the
// replacement. At most `size` replacements are made, so that a catalogue
// whose texts lead back to their own tokens still ends.
static std::string subst_reference(std::string text, int size, const Catalogue &catalogue)
{
    int replacements_left = size;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '{') {
            i++;
            continue;
        }
        if (i + 1 == text.size())
            break;
        if (text[i + 1] == '{') {
            text.erase(i + 1, 1);
            if (i + 1 == text.size())
                break;
            i += 2;
            continue;
        }
        size_t close = text.find('}', i + 1);
        if (close == std::string::npos || close - (i + 1) > 30) {
            i++;
            continue;
        }
        std::string name = text.substr(i + 1, close - i - 1);
        std::string replacement = catalogue_lookup(catalogue, name);
        size_t token = name.size() + 2;
        long long length_after =
            static_cast<long long>(text.size() - token) + static_cast<long long>(replacement.size());
        if (length_after >= size || replacements_left-- <= 0) {
            i += token;
            continue;
        }
        text.replace(i, token, replacement);
    }
    return text;
}

static void check_subst(FuzzInput *in)
{
    int size = static_cast<int>(fuzz_u16(in) % 512);
    std::string text = fuzz_text(in);
    Catalogue catalogue = read_catalogue(in, false);
    if (size < static_cast<int>(text.size()) + 1)
        size = static_cast<int>(text.size()) + 1;

    std::string block = catalogue_block(catalogue);
    err_catalog = catalogue.empty() ? nullptr : block.c_str();
    char *buffer = fuzz_block(size);
    memcpy(buffer, text.c_str(), text.size() + 1);
    ErrorRecord *result = err_subst(buffer, size);
    err_catalog = nullptr;

    require(result == nullptr, "err_subst returned a record");
    require(fuzz_terminated(buffer, size), "err_subst left no zero within the size");
    require(buffer == subst_reference(text, size, catalogue), "err_subst differs from the rules");
    free(buffer);
}

// The table text holds no '%' but one "%s", and the catalogue's texts none,
// so the format stays safe whatever substitution makes of it.
static void check_codef(FuzzInput *in)
{
    int code = 1 + static_cast<int>(fuzz_u16(in));
    std::string text = without_percent(fuzz_text(in)).substr(0, 200);
    size_t at = fuzz_byte(in) % (text.size() + 1);
    text.insert(at, "%s");
    std::string argument = fuzz_text(in);
    Catalogue catalogue = read_catalogue(in, true);

    static ErrorCodeEntry rows[2];
    static ErrorTableLink link;
    rows[0] = ErrorCodeEntry{code, text.c_str()};
    rows[1] = ErrorCodeEntry{0, nullptr};
    link = ErrorTableLink{nullptr, rows};
    std::string block = catalogue_block(catalogue);
    err_table_chain = &link;
    err_catalog = catalogue.empty() ? nullptr : block.c_str();
    ErrorRecord *result = err_codef(code, argument.c_str());
    err_table_chain = nullptr;
    err_catalog = nullptr;

    std::string format = subst_reference(text, 256, catalogue);
    size_t directive = format.find("%s");
    std::string printed = format;
    if (directive != std::string::npos)
        printed.replace(directive, 2, argument);
    std::string want = subst_reference(printed.substr(0, 251), 252, catalogue);

    require(result == &err_lib_record, "err_codef did not return the library record");
    require(result->code == code, "err_codef stored another code");
    require(fuzz_terminated(result->text, sizeof result->text), "library record not terminated");
    require(want == result->text, "err_codef text differs from the rules");
}

static std::string system_message(int code)
{
    char message[252];
    DWORD stored = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, 0,
                                  static_cast<DWORD>(code), 0, message, sizeof message, 0);
    if (stored != 0)
        return std::string(message, strnlen(message, sizeof message - 1));
    for (const ErrorCodeEntry *row = err_app_messages; row->code != 0; row++) {
        if (row->code == code)
            return row->text;
    }
    return "";
}

static void check_system_text(FuzzInput *in)
{
    unsigned choice = fuzz_byte(in);
    int code;
    if (choice & 1) {
        unsigned low = fuzz_u16(in);
        code = static_cast<int>(low | fuzz_u16(in) << 16);
    } else if (choice & 2) {
        code = FS_ERROR_FILE_CHANGED - 1 + static_cast<int>(fuzz_byte(in) % 5);
    } else {
        code = static_cast<int>(fuzz_u16(in) % 1300);
    }
    bool with_details = choice & 4;
    std::string name = fuzz_text(in);
    std::string details = fuzz_text(in);

    err_lib_record.code = 0;
    ErrorRecord *result = err_win32_code(code, name.c_str(), with_details ? "%s" : nullptr,
                                         details.c_str());

    std::string suffix = "(" + name + ") (" + std::to_string(code) + ")";
    if (with_details)
        suffix += " (" + details.substr(0, 511) + ")";
    std::string whole = system_message(code) + suffix;

    require(result == &err_sys_record, "err_win32_code did not return the system record");
    require(result->code == code, "err_win32_code stored another code");
    require(fuzz_terminated(result->text, sizeof result->text), "system record not terminated");
    require(whole.substr(0, 251) == result->text, "system text differs");
    require((err_lib_record.code == 30) == (whole.size() > 251), "a cut suffix is not flagged");
}

// What the C library's own formatting makes of the arguments, unbounded.
__attribute__((format(printf, 1, 2))) static std::string printed(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    int length = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    va_start(args, format);
    vsnprintf(&text[0], text.size(), format, args);
    va_end(args);
    text.resize(text.size() - 1);
    return text;
}

static void check_bounded_print(FuzzInput *in)
{
    int size = static_cast<int>(fuzz_u16(in) % 520) - 4;
    unsigned form = fuzz_byte(in) % 5;
    bool with_count = fuzz_byte(in) & 1;
    int number = static_cast<int>(fuzz_u16(in)) - 32768;
    int width = number % 600;
    std::string a = fuzz_text(in);
    std::string b = fuzz_text(in);

    char *buffer = fuzz_block(size);
    int count = -12345;
    int *count_out = with_count ? &count : nullptr;
    ErrorRecord *result = nullptr;
    std::string want;
    switch (form) {
    case 0:
        want = printed("%s", a.c_str());
        result = xzsnprintf(size, count_out, buffer, "%s", a.c_str());
        break;
    case 1:
        want = printed("%s|%s", a.c_str(), b.c_str());
        result = xzsnprintf(size, count_out, buffer, "%s|%s", a.c_str(), b.c_str());
        break;
    case 2:
        want = printed("%d:%s", number, a.c_str());
        result = xzsnprintf(size, count_out, buffer, "%d:%s", number, a.c_str());
        break;
    case 3:
        want = printed("%.*s", width, a.c_str());
        result = xzsnprintf(size, count_out, buffer, "%.*s", width, a.c_str());
        break;
    default:
        want = printed("%*s%%", width, a.c_str());
        result = xzsnprintf(size, count_out, buffer, "%*s%%", width, a.c_str());
        break;
    }
    if (size >= 1 && static_cast<int>(want.size()) <= size - 1) {
        require(result == nullptr, "xzsnprintf failed on an output that fits");
        require(want == buffer, "xzsnprintf output differs");
        require(!with_count || count == static_cast<int>(want.size()), "xzsnprintf count differs");
    } else {
        require(result == &err_lib_record && result->code == ERR_MAXSTRING,
                "xzsnprintf did not report the overflow");
        require(count == -12345, "xzsnprintf stored a count on overflow");
        if (size >= 1)
            require(want.substr(0, static_cast<size_t>(size - 1)) == buffer, "xzsnprintf cut differs");
    }
    free(buffer);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in = fuzz_input(data, size);
    switch (fuzz_byte(&in) & 3) {
    case 0:
        check_subst(&in);
        break;
    case 1:
        check_codef(&in);
        break;
    case 2:
        check_system_text(&in);
        break;
    default:
        check_bounded_print(&in);
        break;
    }
    return 0;
}

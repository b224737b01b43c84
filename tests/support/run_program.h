// Runs a program as a child process and collects what it writes.
#ifndef TESTS_RUN_PROGRAM_H
#define TESTS_RUN_PROGRAM_H

#include <functional>
#include <string>
#include <vector>

// Runs `program` with `args` (each passed as one argument, whatever it
// holds), standard input empty; stores its standard output and error and
// its exit status. Returns false when it could not be run.
//
// `before_reading`, when given, runs once the program has started and
// before its standard output is read: a program that prints more than the
// pipe holds waits there until it returns.
bool run_program(const std::string &program, const std::vector<std::string> &args,
                 std::string *out, std::string *err, int *status,
                 const std::function<void()> &before_reading = nullptr);

// How a line the tool prints reaches its standard streams on this target:
// on POSIX it ends in LF; on Windows the tool ends it in CR LF, and the C
// runtime, which writes the streams in text mode, turns the LF into CR LF.
std::string printed_line(const std::string &text);

// A path below `dir` as the tool's walk joins it and prints it on this
// target, `rel` written with '/' between its components: on POSIX with
// '/', not doubled after a trailing one; on Windows with a backslash,
// always inserted, so that C:\data\ gives C:\data\\notes.txt.
std::string walked_path(const std::string &dir, const std::string &rel);

// A name in UTF-8 as the tool shows it: each control character (C1 controls
// included) and each byte that is not part of valid UTF-8 as '?'.
std::string shown_utf8(const std::string &text);

// How the tool prints a name the test wrote in its narrow encoding: the
// name as the tool gets it (on Windows, whose program has UTF-8 for its
// code page, converted from the test's ANSI code page), shown as above.
std::string printed_name(const std::string &narrow);

#endif

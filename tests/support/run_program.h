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

// How a line the program prints with "\r\n" reaches its standard streams on
// this target: the Windows C runtime writes them in text mode and turns the
// LF into CR LF.
std::string printed_line(const std::string &text);

#endif

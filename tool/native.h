// What the tool's text looks like on this platform. On Windows it is what it
// has always been: lines end in CR LF and paths are printed as the system
// takes them. On POSIX lines end in LF, and a path is printed with '/' for
// every separator, the backslashes the library reads as one included, so
// that a printed path is one the shell takes back as it is.
#ifndef DRAVICK_NATIVE_H
#define DRAVICK_NATIVE_H

// The end of every line the tool prints.
extern const char native_line_end[];

// What the walk puts between a folder's path and an entry's name: the
// separator, or nothing on POSIX where the path already ends in one.
const char *native_join(const char *directory);

// The byte a byte of a path the library takes is printed as.
char native_path_byte(char byte);

// Whether names are UTF-8: then a byte that is not part of valid UTF-8, and
// a C1 control, are not printed as they are either.
bool native_utf8_names(void);

#endif

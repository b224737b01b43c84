// Looks at a folder through the installed library, and at a file in it that
// is not there: prints "dir", then "2 txt" (the missing file's error code
// and its extension), then "ok".
#include <stdio.h>
#include <string.h>

#include <fslib.h>

int main(int argc, char **argv)
{
    const char *folder = argc > 1 ? argv[1] : ".";
    FileInfo info;
    memset(&info, 0, sizeof info);
    ErrorRecord *error = fs_stat(folder, &info);
    if (error != NULL || info.kind != FS_KIND_DIR) {
        printf("fs_stat(%s): kind %d %s\n", folder, info.kind, error ? error->text : "");
        return 1;
    }
    printf("dir\n");
    char missing[FS_MAX_PATH];
    xzstrncpy(missing, folder, sizeof missing);
    fs_strcat(missing, sizeof missing, "no-such-file.txt");
    char buffer[4];
    error = fs_read_file_exact(missing, buffer, sizeof buffer);
    if (error == NULL || error->code != ERROR_FILE_NOT_FOUND) {
        printf("reading %s did not fail as missing\n", missing);
        return 1;
    }
    printf("%d %s\nok\n", error->code, fs_ext_cmp(missing, "TXT") == 0 ? "txt" : "?");
    return 0;
}

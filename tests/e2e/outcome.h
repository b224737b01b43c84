// What a run of the tool did to a tree, seen with std::filesystem: every
// file that was there before holds either its original bytes or exactly
// their conversion (worked out by the byte-at-a-time pair reader), and no
// name appeared that was not there before.
#ifndef TESTS_E2E_OUTCOME_H
#define TESTS_E2E_OUTCOME_H

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "pair_reader.h"
#include "testutil.h"

// Relative path ('/' between components) to the bytes of every regular
// file below a directory.
typedef std::map<std::string, std::string> TreeFiles;

inline std::string file_bytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every name below a directory, relative, sorted; symbolic links are not
// followed.
inline std::vector<std::string> tree_names(const std::string &dir)
{
    std::vector<std::string> names;
    for (const TestTreeEntry &entry : test_list_tree(dir))
        names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

inline TreeFiles tree_files(const std::string &dir)
{
    TreeFiles files;
    for (const TestTreeEntry &entry : test_list_tree(dir)) {
        if (entry.is_file)
            files[entry.name] = file_bytes(test_fs_path(dir + "/" + entry.name));
    }
    return files;
}

// True when the tool must rewrite these bytes: their conversion grows them.
inline bool needs_conversion(const std::string &bytes)
{
    return pair_reader_convert(bytes).growth > 0;
}

struct TreeOutcome {
    std::vector<std::string> kept;       // the bytes they had before
    std::vector<std::string> converted;  // exactly the conversion of those bytes
    std::vector<std::string> damaged;    // anything else
    std::vector<std::string> missing;    // gone
    std::vector<std::string> added;      // names that were not there before
};

inline TreeOutcome tree_outcome(const std::string &dir, const std::vector<std::string> &names_before,
                                const TreeFiles &before)
{
    namespace fs = std::filesystem;
    TreeOutcome outcome;
    for (const auto &file : before) {
        fs::path path = test_fs_path(dir + "/" + file.first);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(path, ec))) {
            outcome.missing.push_back(file.first);
            continue;
        }
        std::string now = file_bytes(path);
        PairReaderResult conversion = pair_reader_convert(file.second);
        if (now == file.second)
            outcome.kept.push_back(file.first);
        else if (conversion.growth > 0 && now == conversion.output)
            outcome.converted.push_back(file.first);
        else
            outcome.damaged.push_back(file.first);
    }
    std::vector<std::string> names = tree_names(dir);
    std::set_difference(names.begin(), names.end(), names_before.begin(), names_before.end(),
                        std::back_inserter(outcome.added));
    return outcome;
}

#endif

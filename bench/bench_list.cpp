// Times the directory listing at two sizes to show that its cost grows
// linearly with the number of entries.
//
//   bench_list [DIR] [SMALL] [LARGE] [RUNS]
//
// Makes DIR/list-SMALL and DIR/list-LARGE (kept for later runs; default DIR
// is the system's temporary folder, defaults 10000, 100000 and 5 runs),
// lists each RUNS times through fs_list_open / fs_list_next / fs_list_close,
// checks that every entry came back in order, and prints the median times
// and their ratio. A ratio near LARGE / SMALL means linear cost.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fslib.h"

namespace fs = std::filesystem;

static std::string entry_name(int i)
{
    // Mixed case and lengths, in no particular order of creation.
    static const char *const stems[] = {"Report", "data", "IMG_", "notes", "x"};
    unsigned h = static_cast<unsigned>(i) * 2654435761u;
    return std::string(stems[h % 5]) + std::to_string(h % 1000003u) + "_" + std::to_string(i) +
           (i % 3 == 0 ? ".txt" : i % 3 == 1 ? ".csc" : ".bin");
}

static bool make_directory(const fs::path &where, int count)
{
    std::error_code ec;
    if (fs::exists(where / "complete", ec))
        return true;
    fs::create_directories(where, ec);
    for (int i = 0; i < count; ++i) {
        std::ofstream out(where / entry_name(i), std::ios::binary);
        if (!out)
            return false;
    }
    std::ofstream(where / "complete") << count;
    return true;
}

static bool folded_less_or_equal(const char *a, const char *b)
{
    for (;; ++a, ++b) {
        unsigned x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        x = x >= 'A' && x <= 'Z' ? x + 32 : x;
        y = y >= 'A' && y <= 'Z' ? y + 32 : y;
        if (x != y)
            return x < y;
        if (x == 0)
            return true;
    }
}

// One listing; returns seconds, or a negative value when it went wrong.
static double time_listing(const std::string &where, int expected)
{
    auto start = std::chrono::steady_clock::now();
    DirListing *listing = nullptr;
    ErrorRecord *r = fs_list_open(where.c_str(), "*.*", 0, &listing);
    if (r) {
        fprintf(stderr, "%s\n", r->text);
        return -1;
    }
    FileInfo info, previous;
    int end = 0, seen = 0;
    bool ordered = true;
    while (!fs_list_next(listing, &info, &end) && !end) {
        if (seen > 0 && !folded_less_or_equal(previous.name, info.name))
            ordered = false;
        previous = info;
        ++seen;
    }
    fs_list_close(&listing);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seen != expected + 1 || !ordered) {  // + the "complete" marker
        fprintf(stderr, "%s: %d entries, %s\n", where.c_str(), seen, ordered ? "ordered" : "out of order");
        return -1;
    }
    return seconds;
}

static double median_time(const std::string &where, int count, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        double t = time_listing(where, count);
        if (t < 0)
            return -1;
        times.push_back(t);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int main(int argc, char **argv)
{
    fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "dravick-bench";
    int small = argc > 2 ? atoi(argv[2]) : 10000;
    int large = argc > 3 ? atoi(argv[3]) : 100000;
    int runs = argc > 4 ? atoi(argv[4]) : 5;
    if (small <= 0 || large <= 0 || runs <= 0) {
        fprintf(stderr, "usage: bench_list [DIR] [SMALL] [LARGE] [RUNS]\n");
        return 2;
    }
    double medians[2];
    const int counts[2] = {small, large};
    for (int k = 0; k < 2; ++k) {
        fs::path where = base / ("list-" + std::to_string(counts[k]));
        if (!make_directory(where, counts[k])) {
            fprintf(stderr, "cannot fill %s\n", where.string().c_str());
            return 1;
        }
        medians[k] = median_time(where.string(), counts[k], runs);
        if (medians[k] < 0)
            return 1;
        printf("%7d entries: median %.4f s over %d runs (%.3f us an entry)\n", counts[k],
               medians[k], runs, medians[k] * 1e6 / counts[k]);
    }
    printf("time ratio %.2f for an entry ratio of %.2f\n", medians[1] / medians[0],
           static_cast<double>(large) / small);
    return 0;
}

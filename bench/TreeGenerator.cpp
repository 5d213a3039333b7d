// SPDX-License-Identifier: GPL-3.0-or-later
#include "TreeGenerator.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string_view>

namespace {

class Random {
public:
    std::uint64_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    unsigned below(unsigned n) { return unsigned(next() % n); }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

// Mean number of subfolders per folder at each depth: 10 top folders, about 100,000 in all.
constexpr double branching[] = {10, 8, 10, 10, 8, 0.5, 0};
constexpr std::string_view extensions[] = {
    ".txt", ".txt", ".txt",  ".txt",  ".txt",    ".txt", ".txt", ".txt",     ".TXT", ".Txt", ".jpg",
    ".jpg", ".jpg", ".JPG",  ".png",  ".gif",    ".c",   ".h",   ".cpp",     ".py",  ".md",  ".pdf",
    ".mp3", ".log", ".json", ".html", ".tar.gz", ".zip", ".o",   ".txt.bak", "",     "",     ""};
constexpr std::string_view letters =
    "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-";

class Generator {
public:
    explicit Generator(TreeCounts &counts)
        : counts_(counts) {}

    bool fill(int fd, int depth) {
        const int files = depth == 0 ? 0 : int(random_.below(20));
        for (int i = 0; i < files; ++i)
            if (create(fd, false).empty())
                return false;
        if (depth >= 2 && random_.below(1000) == 0) {
            counts_.links += ::symlinkat("..", fd, "loop_to_parent") == 0;
            counts_.links += ::symlinkat("/nonexistent/target", fd, "dangling.txt") == 0;
        }
        const int folders = subfolderCount(depth);
        for (int i = 0; i < folders; ++i) {
            const std::string name = create(fd, true);
            if (name.empty())
                return false;
            const int child = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (child < 0)
                return false;
            const bool ok = fill(child, depth + 1);
            ::close(child);
            if (!ok)
                return false;
        }
        return true;
    }

private:
    int subfolderCount(int depth) {
        const double mean = branching[depth];
        if (depth == 0)
            return int(mean);
        // Around the mean: 0 to 2 x mean, fractions by chance.
        const double drawn = mean * 2.0 * double(random_.below(1001)) / 1000.0;
        return int(drawn) + (random_.below(1000) < unsigned((drawn - int(drawn)) * 1000) ? 1 : 0);
    }

    std::string name(bool folder) {
        const std::string_view extension = folder ? "" : extensions[random_.below(std::size(extensions))];
        const int length = 10 + int(random_.below(21)) - int(extension.size());
        std::string s = random_.below(folder ? 100 : 50) == 0 ? "." : "";
        while (int(s.size()) < std::max(length, 3))
            s += letters[random_.below(letters.size())];
        const unsigned oddity = random_.below(1000);
        if (oddity < 10)
            s[s.size() / 2] = ' ';
        else if (oddity < 15)
            s.replace(1, 2, "\xc3\xa9"); // é
        else if (oddity < 18)
            s.replace(1, 3, "\xe2\x82\xac"); // €
        return s + std::string(extension);
    }

    // Returns the name made, or an empty one on failure.
    std::string create(int fd, bool folder) {
        for (;;) {
            std::string made = name(folder);
            const int result =
                folder ? ::mkdirat(fd, made.c_str(), 0755)
                       : ::openat(fd, made.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
            if (result >= 0) {
                if (!folder)
                    ::close(result);
                ++(folder ? counts_.folders : counts_.files);
                return made;
            }
            if (errno != EEXIST)
                return {};
        }
    }

    TreeCounts &counts_;
    Random random_;
};

} // namespace

bool ensureBenchTree(const std::string &root, TreeCounts &counts) {
    const std::string marker = root + ".complete";
    if (std::ifstream done(marker); done >> counts.folders >> counts.files >> counts.links)
        return true;
    std::fprintf(stderr, "building the bench tree at %s (once; it takes minutes)...\n", root.c_str());
    if (::mkdir(root.c_str(), 0755) != 0) {
        std::fprintf(stderr, "cannot make %s: remove an unfinished tree first\n", root.c_str());
        return false;
    }
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    counts = {};
    Generator generator(counts);
    const bool ok = fd >= 0 && generator.fill(fd, 0);
    if (fd >= 0)
        ::close(fd);
    if (ok)
        std::ofstream(marker) << counts.folders << ' ' << counts.files << ' ' << counts.links << '\n';
    return ok;
}

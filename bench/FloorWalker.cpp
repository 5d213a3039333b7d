// SPDX-License-Identifier: GPL-3.0-or-later
#include "FloorWalker.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t bufferBytes = 128 << 10;

class Floor {
public:
    explicit Floor(const std::string &suffix)
        : suffix_(suffix)
        , buffer_(std::make_unique<char[]>(bufferBytes)) {
        for (char &c : suffix_)
            c = lower(c);
    }

    void walk(int fd) {
        const std::size_t mark = pending_.size();
        for (long size; (size = ::syscall(SYS_getdents64, fd, buffer_.get(), bufferBytes)) > 0;) {
            for (long offset = 0; offset < size;) {
                const auto *entry = reinterpret_cast<const struct dirent64 *>(buffer_.get() + offset);
                offset += entry->d_reclen;
                const char *name = entry->d_name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                unsigned type = entry->d_type;
                if (type == DT_UNKNOWN) {
                    struct stat info;
                    type = ::fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) == 0
                               ? unsigned(IFTODT(info.st_mode))
                               : unsigned(DT_REG);
                }
                const std::size_t length = std::strlen(name);
                if (type == DT_DIR)
                    pending_.insert(pending_.end(), name, name + length + 1);
                else if (endsWith(name, length))
                    ++matches;
            }
        }
        // Subfolders after the read, so that one buffer serves every level.
        for (std::size_t at = mark; at < pending_.size();) {
            const int child =
                ::openat(fd, pending_.data() + at, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            at += std::strlen(pending_.data() + at) + 1;
            if (child >= 0) {
                walk(child);
                ::close(child);
            }
        }
        pending_.resize(mark);
    }

    std::uint64_t matches = 0;

private:
    static char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

    bool endsWith(const char *name, std::size_t length) const {
        if (length < suffix_.size())
            return false;
        const char *tail = name + length - suffix_.size();
        for (std::size_t i = 0; i < suffix_.size(); ++i)
            if (lower(tail[i]) != suffix_[i])
                return false;
        return true;
    }

    std::string suffix_;
    std::unique_ptr<char[]> buffer_;
    std::vector<char> pending_;
};

} // namespace

std::uint64_t floorWalk(const std::string &root, const std::string &suffix) {
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    Floor floor(suffix);
    floor.walk(fd);
    ::close(fd);
    return floor.matches;
}

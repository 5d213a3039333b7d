// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace base {

// An append-only array in fixed blocks: growing never copies the elements and never needs old and
// new storage at once, so the peak is the size plus at most one block.
template <typename T, std::size_t BlockShift = 16> class BlockVector {
public:
    static constexpr std::size_t blockSize = std::size_t(1) << BlockShift;

    void push_back(const T &value) {
        if (size_ == blocks_.size() * blockSize)
            blocks_.push_back(std::make_unique_for_overwrite<T[]>(blockSize));
        blocks_[size_ >> BlockShift][size_ & (blockSize - 1)] = value;
        ++size_;
    }
    const T &operator[](std::size_t i) const { return blocks_[i >> BlockShift][i & (blockSize - 1)]; }
    std::size_t size() const { return size_; }
    std::size_t memoryBytes() const {
        return blocks_.size() * blockSize * sizeof(T) + blocks_.capacity() * sizeof(blocks_[0]);
    }
    void clear() {
        blocks_.clear();
        blocks_.shrink_to_fit();
        size_ = 0;
    }

private:
    std::vector<std::unique_ptr<T[]>> blocks_;
    std::size_t size_ = 0;
};

// Byte strings in 1 MiB chunks, each stored once with its length in front (one byte up to 127). A
// reference is the chunk number and the position in it; a string longer than a chunk gets a chunk of
// its own. References run out at 4 GiB of text; store() then says so with `full`.
class TextArena {
public:
    static constexpr std::uint32_t full = UINT32_MAX;

    std::uint32_t store(std::string_view text);
    std::string_view at(std::uint32_t ref) const;
    std::size_t memoryBytes() const;
    void clear();

private:
    static constexpr unsigned chunkShift = 20;
    static constexpr std::size_t chunkBytes = std::size_t(1) << chunkShift;
    static constexpr std::size_t maxChunks = std::size_t(1) << (32 - chunkShift);

    struct Chunk {
        std::unique_ptr<char[]> bytes;
        std::size_t size;
    };

    std::vector<Chunk> chunks_;
    std::size_t used_ = 0; // in the last chunk
};

} // namespace base

// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/CompactStore.h"

#include <algorithm>
#include <cstring>

namespace base {

namespace {

std::size_t lengthBytes(std::size_t length) {
    std::size_t bytes = 1;
    for (; length >= 0x80; length >>= 7)
        ++bytes;
    return bytes;
}

} // namespace

std::uint32_t TextArena::store(std::string_view text) {
    const std::size_t need = lengthBytes(text.size()) + text.size();
    if (chunks_.empty() || need > chunks_.back().size - used_) {
        if (chunks_.size() == maxChunks)
            return full;
        const std::size_t size = std::max(need, chunkBytes);
        chunks_.push_back(Chunk{std::make_unique_for_overwrite<char[]>(size), size});
        used_ = 0;
    }
    const auto ref = std::uint32_t(((chunks_.size() - 1) << chunkShift) | used_);
    char *at = chunks_.back().bytes.get() + used_;
    std::size_t length = text.size();
    for (; length >= 0x80; length >>= 7)
        *at++ = char(0x80 | (length & 0x7F));
    *at++ = char(length);
    if (!text.empty()) // an empty view may point nowhere, which memcpy must not get
        std::memcpy(at, text.data(), text.size());
    // A chunk of its own takes nothing after its string.
    used_ = need > chunkBytes ? chunks_.back().size : used_ + need;
    return ref;
}

std::string_view TextArena::at(std::uint32_t ref) const {
    const char *p = chunks_[ref >> chunkShift].bytes.get() + (ref & (chunkBytes - 1));
    std::size_t length = 0;
    for (unsigned shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*p++);
        length |= std::size_t(byte & 0x7F) << shift;
        if (byte < 0x80)
            break;
    }
    return {p, length};
}

std::size_t TextArena::memoryBytes() const {
    std::size_t bytes = chunks_.capacity() * sizeof(Chunk);
    for (const Chunk &chunk : chunks_)
        bytes += chunk.size;
    return bytes;
}

void TextArena::clear() {
    chunks_.clear();
    chunks_.shrink_to_fit();
    used_ = 0;
}

} // namespace base

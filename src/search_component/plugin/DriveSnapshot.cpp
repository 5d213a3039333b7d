// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/plugin/DriveSnapshot.h"

#include "base/FolderChain.h"

#include <algorithm>

namespace search_component::plugin {

namespace {

std::uint32_t load32(const unsigned char *p) {
    std::uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

void store32(unsigned char *p, std::uint32_t value) {
    std::memcpy(p, &value, sizeof value);
}

} // namespace

ListingCursor::ListingCursor(const unsigned char *listing, ListingRef ref)
    : p_(listing + listingHeaderBytes)
    , ref_(ref)
    , start_(listing) {
    entries_ = load32(listing);
    bytes_ = load32(listing + 4);
    end_ = listing + bytes_;
}

bool ListingCursor::next(ListingEntry &entry) {
    if (p_ >= end_)
        return false;
    const std::size_t length = p_[0];
    entry.at = ref_ + ListingRef(p_ - start_);
    entry.type = p_[1];
    entry.name = std::string_view(reinterpret_cast<const char *>(p_ + 2), length);
    p_ += 2 + length;
    entry.child = noIndex;
    if (entry.type == folderType) {
        entry.child = load32(p_);
        p_ += 4;
    }
    return true;
}

FolderTable::FolderTable()
    : blocks_(std::make_unique<std::atomic<SnapshotFolder *>[]>(maxBlocks)) {}

FolderTable::~FolderTable() {
    for (std::uint32_t b = 0; b < blockCount_; ++b)
        delete[] blocks_[b].load(std::memory_order_relaxed);
}

std::uint32_t FolderTable::allocate(std::uint32_t count) {
    if (count == 0)
        return noIndex;
    std::uint32_t first = size_.load(std::memory_order_relaxed);
    do {
        if (count > maxBlocks * blockSize - first)
            return noIndex;
    } while (!size_.compare_exchange_weak(first, first + count, std::memory_order_acq_rel));
    const std::uint32_t lastBlock = (first + count - 1) >> blockShift;
    if (!blocks_[lastBlock].load(std::memory_order_acquire)) {
        std::lock_guard lock(growMutex_);
        for (; blockCount_ <= lastBlock; ++blockCount_)
            blocks_[blockCount_].store(new SnapshotFolder[blockSize], std::memory_order_release);
    }
    return first;
}

std::size_t FolderTable::memoryBytes() const {
    std::uint32_t blocks = 0;
    while (blocks < maxBlocks && blocks_[blocks].load(std::memory_order_acquire))
        ++blocks;
    return std::size_t(blocks) * blockSize * sizeof(SnapshotFolder) + maxBlocks * sizeof(blocks_[0]);
}

ListingStore::ListingStore()
    : chunks_(std::make_unique<std::atomic<unsigned char *>[]>(maxChunks)) {
    auto *empty = new unsigned char[listingHeaderBytes];
    store32(empty, 0);
    store32(empty + 4, listingHeaderBytes);
    chunks_[0].store(empty, std::memory_order_release);
    chunkSizes_.push_back(listingHeaderBytes);
    chunkCount_ = 1;
}

ListingStore::~ListingStore() {
    for (std::uint32_t c = 0; c < chunkCount_; ++c)
        delete[] chunks_[c].load(std::memory_order_relaxed);
}

unsigned char *ListingStore::reserve(Writer &writer, std::size_t bytes, ListingRef &ref) {
    if (writer.chunk == noIndex || bytes > writer.size - writer.used) {
        const std::size_t size = std::max(bytes, chunkBytes);
        std::lock_guard lock(mutex_);
        if (chunkCount_ == maxChunks || size > 0xFFFFFFFFu)
            return nullptr;
        chunks_[chunkCount_].store(new unsigned char[size], std::memory_order_release);
        chunkSizes_.push_back(size);
        writer = Writer{chunkCount_++, 0, size};
    }
    ref = (ListingRef(writer.chunk) << 32) | writer.used;
    unsigned char *at = chunks_[writer.chunk].load(std::memory_order_relaxed) + writer.used;
    writer.used += bytes;
    written_.fetch_add(bytes, std::memory_order_relaxed);
    return at;
}

ListingRef ListingStore::adopt(std::unique_ptr<unsigned char[]> bytes, std::size_t size) {
    std::lock_guard lock(mutex_);
    if (chunkCount_ == maxChunks || size > 0xFFFFFFFFu)
        return noListing;
    chunks_[chunkCount_].store(bytes.release(), std::memory_order_release);
    chunkSizes_.push_back(size);
    written_.fetch_add(size, std::memory_order_relaxed);
    return ListingRef(chunkCount_++) << 32;
}

std::size_t ListingStore::memoryBytes() const {
    std::lock_guard lock(mutex_);
    std::size_t bytes = maxChunks * sizeof(chunks_[0]) + chunkSizes_.capacity() * sizeof(std::size_t);
    for (std::size_t size : chunkSizes_)
        bytes += size;
    return bytes;
}

ListingRef writeListing(ListingStore &store, ListingStore::Writer &writer, const ListingInput *entries,
                        std::size_t count, const std::uint32_t *children, ListingRef *nameAt) {
    std::size_t bytes = listingHeaderBytes;
    for (std::size_t i = 0; i < count; ++i)
        bytes += listingEntryBytes(entries[i].name.size(), entries[i].type == folderType);
    ListingRef ref;
    unsigned char *p = store.reserve(writer, bytes, ref);
    if (!p)
        return noListing;
    unsigned char *const start = p;
    store32(p, std::uint32_t(count));
    store32(p + 4, std::uint32_t(bytes));
    p += listingHeaderBytes;
    for (std::size_t i = 0; i < count; ++i) {
        const ListingInput &entry = entries[i];
        const ListingRef at = ref + ListingRef(p - start);
        p[0] = std::uint8_t(entry.name.size());
        p[1] = entry.type;
        std::memcpy(p + 2, entry.name.data(), entry.name.size());
        p += 2 + entry.name.size();
        if (entry.type == folderType) {
            store32(p, *children++);
            *nameAt++ = at;
            p += 4;
        }
    }
    return ref;
}

DriveSnapshot::DriveSnapshot(std::string rootPath)
    : rootPath_(std::move(rootPath)) {}

ListingCursor DriveSnapshot::entries(std::uint32_t folder) const {
    const ListingRef ref = folders[folder].listing.load(std::memory_order_acquire);
    return ListingCursor(listings.at(ref), ref);
}

std::string_view DriveSnapshot::name(std::uint32_t folder) const {
    if (folder == root)
        return rootPath_;
    const unsigned char *entry = listings.at(folders[folder].nameAt.load(std::memory_order_relaxed));
    return std::string_view(reinterpret_cast<const char *>(entry + 2), entry[0]);
}

void DriveSnapshot::relativePath(std::uint32_t folder, std::string &out,
                                 std::vector<std::uint32_t> &chain) const {
    out.clear();
    if (folder == root)
        return;
    // The chain stops below the root, whose name is the root path.
    base::appendFolderChain(
        out, folder, noIndex,
        [this](std::uint32_t f) { return folders[f].parent == root ? noIndex : folders[f].parent; },
        [this](std::string &path, std::uint32_t f) { path += name(f); }, chain);
}

std::string DriveSnapshot::path(std::uint32_t folder) const {
    if (folder == root)
        return rootPath_; // also before the first read has made the root's record
    std::string path;
    std::vector<std::uint32_t> chain;
    base::appendFolderChain(
        path, folder, noIndex, [this](std::uint32_t f) { return folders[f].parent; },
        [this](std::string &out, std::uint32_t f) { out += name(f); }, chain);
    return path;
}

void DriveSnapshot::rebuildOrder() {
    order.clear();
    runs.clear();
    entryCount = 0;
    liveListingBytes = 0;
    std::vector<std::uint32_t> stack{root};
    std::vector<std::uint32_t> children;
    std::uint64_t inRun = entriesPerRun;
    while (!stack.empty()) {
        const std::uint32_t folder = stack.back();
        stack.pop_back();
        if (inRun >= entriesPerRun) {
            runs.push_back(std::uint32_t(order.size()));
            inRun = 0;
        }
        order.push_back(folder);
        if (!isRead(folder))
            continue;
        ListingCursor cursor = entries(folder);
        entryCount += cursor.entries();
        inRun += cursor.entries();
        liveListingBytes += cursor.bytes();
        children.clear();
        for (ListingEntry entry; cursor.next(entry);)
            if (entry.type == folderType)
                children.push_back(entry.child);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
}

std::size_t DriveSnapshot::memoryBytes() const {
    return folders.memoryBytes() + listings.memoryBytes() +
           (order.capacity() + runs.capacity()) * sizeof(std::uint32_t);
}

bool DriveSnapshot::wantsCompaction() const {
    const std::size_t garbageBytes = listings.writtenBytes() - liveListingBytes;
    const std::size_t garbageFolders = folders.size() - order.size();
    return garbageBytes > (std::size_t(1) << 20) + liveListingBytes / 4 ||
           garbageFolders > 4096 + order.size() / 4;
}

std::unique_ptr<DriveSnapshot> DriveSnapshot::compacted() const {
    auto copy = std::make_unique<DriveSnapshot>(rootPath_);
    copy->rootIno = rootIno;
    copy->rootMount = rootMount;
    copy->trust = trust;
    copy->identity = identity;
    copy->inFile = inFile;
    const auto count = std::uint32_t(order.size());
    if (count == 0 || copy->folders.allocate(count) != 0)
        return copy;
    std::vector<std::uint32_t> renumbered(folders.size(), noIndex);
    for (std::uint32_t i = 0; i < count; ++i)
        renumbered[order[i]] = i;
    ListingStore::Writer writer;
    for (std::uint32_t i = 0; i < count; ++i) {
        const SnapshotFolder &from = folders[order[i]];
        SnapshotFolder &to = copy->folders[i];
        to.ino = from.ino;
        to.mtime = from.mtime;
        to.ctime = from.ctime;
        to.flags = from.flags;
        const ListingRef old = from.listing.load(std::memory_order_acquire);
        if (old == noListing)
            continue;
        const unsigned char *source = listings.at(old);
        const std::uint32_t bytes = load32(source + 4);
        ListingRef ref;
        unsigned char *target = copy->listings.reserve(writer, bytes, ref);
        if (!target)
            return nullptr;
        std::memcpy(target, source, bytes);
        // Point the folder entries at the new records, and the records at their entries.
        for (unsigned char *p = target + listingHeaderBytes; p < target + bytes;) {
            const std::size_t length = p[0];
            const bool folder = p[1] == folderType;
            const ListingRef at = ref + ListingRef(p - target);
            p += 2 + length;
            if (folder) {
                const std::uint32_t child = renumbered[load32(p)];
                store32(p, child);
                copy->folders[child].parent = i;
                copy->folders[child].nameAt.store(at, std::memory_order_relaxed);
                p += 4;
            }
        }
        to.listing.store(ref, std::memory_order_release);
    }
    copy->order.resize(count);
    for (std::uint32_t i = 0; i < count; ++i)
        copy->order[i] = i;
    copy->runs = runs;
    copy->entryCount = entryCount;
    copy->liveListingBytes = copy->listings.writtenBytes();
    return copy;
}

} // namespace search_component::plugin

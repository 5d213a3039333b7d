// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace search_component::plugin {

constexpr std::uint32_t noIndex = UINT32_MAX;

// Where a folder's listing lies in the listing store: chunk number in the high half, offset in the low.
using ListingRef = std::uint64_t;
constexpr ListingRef noListing = ~ListingRef(0);

// Entry types as getdents reports them; only "folder or not" matters to a search.
constexpr std::uint8_t folderType = 4; // DT_DIR

// What a read of a folder left behind about it.
enum FolderFlags : std::uint8_t {
    // Its times were too close to the moment of the read to prove later that nothing changed since.
    racyFolder = 1,
    // It could not be opened or lies on another mount: no entries; tried again at every search.
    skippedFolder = 2,
    // Its read stopped early (an I/O error, the folder vanished meanwhile): tried again at every search.
    partialFolder = 4,
};

// A folder of the snapshot. Its identity and times are as statx reported them just before the read
// that produced its listing. Records are never freed during a search, so an index stays valid
// while workers and the consumer use it.
struct SnapshotFolder {
    std::uint64_t ino = 0;
    std::int64_t mtime = 0; // nanoseconds since the epoch
    std::int64_t ctime = 0;
    // Its entries; noListing until the folder has been read. Published last, with release.
    std::atomic<ListingRef> listing{noListing};
    // The entry naming this folder in its parent's listing (unused for the root). A re-read of the
    // parent moves it to the new listing; old listings stay in memory until the snapshot is compacted,
    // so a reader racing with that move still finds the same name.
    std::atomic<ListingRef> nameAt{noListing};
    std::uint32_t parent = noIndex;
    std::uint8_t flags = 0;
    // Only during a read: the descriptor children are opened from, and the children not opened yet.
    std::atomic<int> descriptor{-1};
    std::atomic<std::uint32_t> unopenedChildren{0};
};

// A folder's entries as stored: a header, then per entry its name length, its type, its name and, for
// a folder, the index of the folder's record. Entries are in byte order of their names.
//   u32 entries, u32 bytes (of the whole listing), entries...: u8 length, u8 type, name, [u32 child]
struct ListingEntry {
    std::string_view name;
    std::uint8_t type;
    std::uint32_t child; // noIndex unless type == folderType
    ListingRef at;       // where the entry starts, for SnapshotFolder::nameAt
};

class ListingCursor {
public:
    ListingCursor(const unsigned char *listing, ListingRef ref);
    bool next(ListingEntry &entry);
    std::uint32_t entries() const { return entries_; }
    std::uint32_t bytes() const { return bytes_; }

private:
    const unsigned char *p_;
    const unsigned char *end_;
    ListingRef ref_;
    const unsigned char *start_;
    std::uint32_t entries_ = 0;
    std::uint32_t bytes_ = 0;
};

constexpr std::size_t listingHeaderBytes = 8;
inline std::size_t listingEntryBytes(std::size_t nameLength, bool folder) {
    return 2 + nameLength + (folder ? 4 : 0);
}

// Folder records in fixed blocks, so that growing never moves a record and ranges of indices can be
// handed out to several threads at once.
class FolderTable {
public:
    FolderTable();
    ~FolderTable();
    FolderTable(const FolderTable &) = delete;
    FolderTable &operator=(const FolderTable &) = delete;

    // The first of `count` new consecutive records, or noIndex when the table is full.
    std::uint32_t allocate(std::uint32_t count);
    SnapshotFolder &operator[](std::uint32_t index) const {
        return blocks_[index >> blockShift].load(std::memory_order_acquire)[index & (blockSize - 1)];
    }
    std::uint32_t size() const { return size_.load(std::memory_order_acquire); }
    std::size_t memoryBytes() const;

private:
    static constexpr unsigned blockShift = 13;
    static constexpr std::uint32_t blockSize = 1u << blockShift;
    static constexpr std::uint32_t maxBlocks = 1u << 15; // 268 million folders

    std::unique_ptr<std::atomic<SnapshotFolder *>[]> blocks_;
    std::atomic<std::uint32_t> size_{0};
    std::uint32_t blockCount_ = 0; // under growMutex_
    std::mutex growMutex_;
};

// The bytes of all listings, in chunks that each writer fills on its own. A listing never spans
// chunks; one larger than a chunk gets a chunk of its own.
class ListingStore {
public:
    // A writer's current chunk; one per thread.
    struct Writer {
        std::uint32_t chunk = noIndex;
        std::size_t used = 0;
        std::size_t size = 0;
    };

    // A listing without entries, always there: storing one can never fail.
    static constexpr ListingRef emptyListing = 0;

    ListingStore();
    ~ListingStore();
    ListingStore(const ListingStore &) = delete;
    ListingStore &operator=(const ListingStore &) = delete;

    // Room for `bytes` bytes; nullptr when the store is full.
    unsigned char *reserve(Writer &writer, std::size_t bytes, ListingRef &ref);
    const unsigned char *at(ListingRef ref) const {
        return chunks_[ref >> 32].load(std::memory_order_acquire) + (ref & 0xFFFFFFFFu);
    }
    // Takes whole listings, side by side, as a chunk of its own: the reference of its first byte, or
    // noListing when the store is full.
    ListingRef adopt(std::unique_ptr<unsigned char[]> bytes, std::size_t size);
    // Bytes handed out so far: live listings and the garbage re-reads left.
    std::size_t writtenBytes() const { return written_.load(std::memory_order_relaxed); }
    std::size_t memoryBytes() const;

private:
    static constexpr std::size_t chunkBytes = std::size_t(1) << 20;
    static constexpr std::uint32_t maxChunks = 1u << 14;

    std::unique_ptr<std::atomic<unsigned char *>[]> chunks_;
    std::uint32_t chunkCount_ = 0;        // under mutex_
    std::vector<std::size_t> chunkSizes_; // under mutex_
    std::atomic<std::size_t> written_{0};
    mutable std::mutex mutex_;
};

// How a file system's folder times can be trusted.
struct TimeTrust {
    bool usable = false;        // false: no snapshot is kept, every search reads the drive anew
    bool lasting = false;       // the snapshot may be kept across runs, in a file
    std::int64_t slackNs = 0;   // a folder is racy when its times are this close to its read, or later
    std::int64_t coarseNs = 0;  // the same for folders whose times have no sub-second part
    std::int64_t roundToNs = 0; // tests: pretend the file system keeps times only to this granularity
};

// The identity of a mount: bind mounts of one file system differ by their mount id.
struct MountIdentity {
    std::uint32_t devMajor = 0, devMinor = 0;
    std::uint64_t mountId = 0;
    bool hasMountId = false;

    bool sameAs(const MountIdentity &other) const {
        return devMajor == other.devMajor && devMinor == other.devMinor &&
               (!hasMountId || !other.hasMountId || mountId == other.mountId);
    }
};

// What tells one file system from another across runs of the program: another stick mounted at the
// same place, or the same partition formatted anew, differs in at least one of these.
struct FileSystemIdentity {
    std::uint64_t type = 0; // statfs f_type
    std::uint64_t fsid = 0; // statfs f_fsid
    std::uint32_t devMajor = 0, devMinor = 0;
    std::uint64_t rootIno = 0;
    std::int64_t rootBirthNs = 0; // 0 where the file system keeps no birth time

    bool operator==(const FileSystemIdentity &) const = default;
};

// What a search of one drive read: its folders, each with its identity, times and entries, kept
// between searches so that a repeat search only checks what may have changed. About 30 bytes per
// entry, names included.
class DriveSnapshot {
public:
    explicit DriveSnapshot(std::string rootPath);
    DriveSnapshot(const DriveSnapshot &) = delete;
    DriveSnapshot &operator=(const DriveSnapshot &) = delete;

    const std::string &rootPath() const { return rootPath_; }
    static constexpr std::uint32_t root = 0;

    FolderTable folders;
    ListingStore listings;
    // The identity of the root folder and its mount, set by the first read.
    std::uint64_t rootIno = 0;
    MountIdentity rootMount;
    TimeTrust trust;
    FileSystemIdentity identity;
    // Live folders, depth first: a folder, then its subfolders' trees in byte order of their names.
    std::vector<std::uint32_t> order;
    // Where runs of about the same number of entries begin in order: the parallel match's shares,
    // large enough to amortise handing them over, small enough that the first results come at once.
    std::vector<std::uint32_t> runs;
    static constexpr std::uint64_t entriesPerRun = 16384;
    // Entries held by live folders (set with order).
    std::uint64_t entryCount = 0;
    // Listing bytes of live folders; the rest of the store is garbage left by re-reads.
    std::size_t liveListingBytes = 0;
    // Its file in the user's cache holds exactly this snapshot.
    bool inFile = false;

    bool isRead(std::uint32_t folder) const {
        return folders[folder].listing.load(std::memory_order_acquire) != noListing;
    }
    ListingCursor entries(std::uint32_t folder) const;
    // The folder's own name (the root path for the root).
    std::string_view name(std::uint32_t folder) const;
    // The path of a folder relative to the root ("" for the root); `chain` is scratch space.
    void relativePath(std::uint32_t folder, std::string &out, std::vector<std::uint32_t> &chain) const;
    // The full path of a folder as bytes; at a root of "/" the separator is not doubled.
    std::string path(std::uint32_t folder) const;

    // Recomputes order, runs, entryCount and liveListingBytes from the root.
    void rebuildOrder();
    // Bytes the snapshot holds: records, listings (garbage included) and the order.
    std::size_t memoryBytes() const;
    // Whether re-reads left so much garbage that compact() is worth it.
    bool wantsCompaction() const;
    // A copy holding only the live folders, numbered in order, with their listings side by side.
    std::unique_ptr<DriveSnapshot> compacted() const;

private:
    std::string rootPath_;
};

// Stores a sorted listing: `names` are the entries' names, `types` their types, `children` the record
// of each folder entry in order. Returns the listing's reference, or noListing when the store is full;
// `nameAt` receives, per folder entry, where that entry starts.
struct ListingInput {
    std::string_view name;
    std::uint8_t type;
};
ListingRef writeListing(ListingStore &store, ListingStore::Writer &writer, const ListingInput *entries,
                        std::size_t count, const std::uint32_t *children, ListingRef *nameAt);

} // namespace search_component::plugin

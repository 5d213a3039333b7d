// SPDX-License-Identifier: GPL-3.0-or-later
#include "search_component/plugin/SnapshotFile.h"

#include "base/Descriptor.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

namespace search_component::plugin {

namespace {

constexpr char magic[8] = {'L', 'S', 'N', 'A', 'P', 'S', 'H', 'T'};
constexpr std::uint32_t formatVersion = 1;
constexpr std::size_t headerBytes = 96;
constexpr std::size_t checksumAt = 88;
constexpr std::size_t recordBytes = 8 + 8 + 8 + 1; // inode, modification and change time, flags
constexpr std::uint8_t knownFlags = racyFolder | skippedFolder | partialFolder;
// A listing's offset within its chunk is 32 bits wide.
constexpr std::uint64_t maxListingBytes = 0xFFFFFFFFu;

// The header's fields, at the offsets the format gives.
struct Header {
    FileSystemIdentity identity;
    std::int64_t roundToNs = 0;
    std::uint32_t rootPathBytes = 0;
    std::uint32_t folders = 0;
    std::uint64_t entries = 0;
    std::uint64_t listingBytes = 0;
    std::uint64_t checksum = 0;
};

template <typename T> void put(unsigned char *at, T value) {
    std::memcpy(at, &value, sizeof value);
}

template <typename T> T get(const unsigned char *at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void encode(const Header &h, unsigned char *out) {
    std::memset(out, 0, headerBytes);
    std::memcpy(out, magic, sizeof magic);
    put<std::uint32_t>(out + 8, formatVersion);
    put<std::uint32_t>(out + 12, headerBytes);
    put<std::uint64_t>(out + 16, h.identity.type);
    put<std::uint64_t>(out + 24, h.identity.fsid);
    put<std::uint32_t>(out + 32, h.identity.devMajor);
    put<std::uint32_t>(out + 36, h.identity.devMinor);
    put<std::uint64_t>(out + 40, h.identity.rootIno);
    put<std::int64_t>(out + 48, h.identity.rootBirthNs);
    put<std::int64_t>(out + 56, h.roundToNs);
    put<std::uint32_t>(out + 64, h.rootPathBytes);
    put<std::uint32_t>(out + 68, h.folders);
    put<std::uint64_t>(out + 72, h.entries);
    put<std::uint64_t>(out + 80, h.listingBytes);
    put<std::uint64_t>(out + checksumAt, h.checksum);
}

bool decode(const unsigned char *in, Header &h) {
    if (std::memcmp(in, magic, sizeof magic) != 0 || get<std::uint32_t>(in + 8) != formatVersion ||
        get<std::uint32_t>(in + 12) != headerBytes)
        return false;
    h.identity.type = get<std::uint64_t>(in + 16);
    h.identity.fsid = get<std::uint64_t>(in + 24);
    h.identity.devMajor = get<std::uint32_t>(in + 32);
    h.identity.devMinor = get<std::uint32_t>(in + 36);
    h.identity.rootIno = get<std::uint64_t>(in + 40);
    h.identity.rootBirthNs = get<std::int64_t>(in + 48);
    h.roundToNs = get<std::int64_t>(in + 56);
    h.rootPathBytes = get<std::uint32_t>(in + 64);
    h.folders = get<std::uint32_t>(in + 68);
    h.entries = get<std::uint64_t>(in + 72);
    h.listingBytes = get<std::uint64_t>(in + 80);
    h.checksum = get<std::uint64_t>(in + checksumAt);
    return true;
}

bool readAll(int fd, unsigned char *into, std::size_t size) {
    return base::readExactly(fd, reinterpret_cast<char *>(into), size) == base::Transfer::Done;
}

// The file's bytes go out through a buffer of this size; the checksum follows them.
class Output {
public:
    explicit Output(int fd)
        : fd_(fd) {
        buffer_.reserve(1 << 20);
    }

    void add(const void *data, std::size_t size) {
        const auto *bytes = static_cast<const unsigned char *>(data);
        if (buffer_.size() + size > buffer_.capacity())
            flush();
        buffer_.insert(buffer_.end(), bytes, bytes + size);
    }
    // Room for `size` bytes at the end of the buffer, to be filled in place.
    unsigned char *reserve(std::size_t size) {
        if (buffer_.size() + size > buffer_.capacity())
            flush();
        const std::size_t at = buffer_.size();
        buffer_.resize(at + size);
        return buffer_.data() + at;
    }
    bool flush() {
        if (!failed_ && !buffer_.empty()) {
            checksum_.add(buffer_.data(), buffer_.size());
            failed_ = base::writeAll(fd_, reinterpret_cast<const char *>(buffer_.data()), buffer_.size()) !=
                      base::Transfer::Done;
        }
        buffer_.clear();
        return !failed_;
    }
    std::uint64_t checksum() const { return checksum_.value(); }

private:
    int fd_;
    std::vector<unsigned char> buffer_;
    Checksum checksum_;
    bool failed_ = false;
};

template <typename Field> void addPerFolder(Output &out, const DriveSnapshot &snapshot, Field field) {
    for (std::uint32_t folder : snapshot.order) {
        const auto value = field(snapshot.folders[folder]);
        out.add(&value, sizeof value);
    }
}

} // namespace

bool writeSnapshotFile(const DriveSnapshot &snapshot, int fd, const std::atomic<bool> &cancel,
                       SnapshotFileFacts *facts) {
    static const unsigned char emptyListing[8] = {0, 0, 0, 0, 8, 0, 0, 0};
    const std::vector<std::uint32_t> &order = snapshot.order;
    if (order.empty() || order.size() > UINT32_MAX || snapshot.rootPath().size() > UINT32_MAX)
        return false;
    Header header;
    header.identity = snapshot.identity;
    header.roundToNs = snapshot.trust.roundToNs;
    header.rootPathBytes = std::uint32_t(snapshot.rootPath().size());
    header.folders = std::uint32_t(order.size());
    std::vector<std::uint32_t> number(snapshot.folders.size(), noIndex);
    for (std::uint32_t i = 0; i < order.size(); ++i) {
        number[order[i]] = i;
        const std::uint32_t bytes = snapshot.isRead(order[i]) ? snapshot.entries(order[i]).bytes() : 8;
        header.listingBytes += bytes;
        header.entries += snapshot.isRead(order[i]) ? snapshot.entries(order[i]).entries() : 0;
    }
    if (header.listingBytes > maxListingBytes)
        return false;

    Output out(fd);
    unsigned char encoded[headerBytes];
    encode(header, encoded);
    out.add(encoded, headerBytes);
    out.add(snapshot.rootPath().data(), snapshot.rootPath().size());
    addPerFolder(out, snapshot, [](const SnapshotFolder &f) { return f.ino; });
    addPerFolder(out, snapshot, [](const SnapshotFolder &f) { return f.mtime; });
    addPerFolder(out, snapshot, [](const SnapshotFolder &f) { return f.ctime; });
    for (std::uint32_t folder : order) {
        // A folder not read (only while a first read runs) is tried again, as an unreadable one is.
        const std::uint8_t flags =
            snapshot.isRead(folder) ? snapshot.folders[folder].flags : std::uint8_t(skippedFolder);
        out.add(&flags, 1);
    }
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i % 1024 == 0 && cancel.load(std::memory_order_relaxed))
            return false;
        if (!snapshot.isRead(order[i])) {
            out.add(emptyListing, sizeof emptyListing);
            continue;
        }
        ListingCursor cursor = snapshot.entries(order[i]);
        const ListingRef ref = snapshot.folders[order[i]].listing.load(std::memory_order_acquire);
        const unsigned char *source = snapshot.listings.at(ref);
        unsigned char *target = out.reserve(cursor.bytes());
        std::memcpy(target, source, cursor.bytes());
        // Folder entries name their folder by its number in the file.
        for (ListingEntry entry; cursor.next(entry);)
            if (entry.type == folderType)
                put<std::uint32_t>(target + (entry.at - ref) + 2 + entry.name.size(), number[entry.child]);
    }
    if (!out.flush())
        return false;
    header.checksum = out.checksum();
    unsigned char sum[8];
    put<std::uint64_t>(sum, header.checksum);
    if (::pwrite(fd, sum, sizeof sum, checksumAt) != ssize_t(sizeof sum))
        return false;
    if (facts)
        *facts = {header.folders, header.entries,
                  headerBytes + header.rootPathBytes + header.folders * recordBytes + header.listingBytes};
    return true;
}

namespace {

bool isName(const unsigned char *name, std::size_t length) {
    if (length == 0 || std::memchr(name, '/', length) || std::memchr(name, 0, length))
        return false;
    return !(name[0] == '.' && (length == 1 || (length == 2 && name[1] == '.')));
}

bool byteLess(const unsigned char *a, std::size_t aLength, const unsigned char *b, std::size_t bLength) {
    const int c = std::memcmp(a, b, std::min(aLength, bLength));
    return c < 0 || (c == 0 && aLength < bLength);
}

// Checks the listings and links every folder to its parent; false unless they form one tree.
bool linkListings(DriveSnapshot &snapshot, const unsigned char *listings, std::uint64_t size, ListingRef base,
                  std::uint64_t &entries) {
    const std::uint32_t count = snapshot.folders.size();
    std::uint64_t at = 0;
    entries = 0;
    for (std::uint32_t folder = 0; folder < count; ++folder) {
        if (size - at < listingHeaderBytes)
            return false;
        const std::uint32_t declared = get<std::uint32_t>(listings + at);
        const std::uint32_t bytes = get<std::uint32_t>(listings + at + 4);
        if (bytes < listingHeaderBytes || bytes > size - at)
            return false;
        const std::uint64_t end = at + bytes;
        std::uint64_t p = at + listingHeaderBytes;
        const unsigned char *previous = nullptr;
        std::size_t previousLength = 0;
        std::uint32_t found = 0;
        while (p < end) {
            if (end - p < 2)
                return false;
            const std::size_t length = listings[p];
            const bool isFolder = listings[p + 1] == folderType;
            const std::uint64_t need = listingEntryBytes(length, isFolder);
            const unsigned char *name = listings + p + 2;
            if (need > end - p || !isName(name, length) ||
                (previous && !byteLess(previous, previousLength, name, length)))
                return false;
            if (isFolder) {
                const std::uint32_t child = get<std::uint32_t>(name + length);
                if (child <= folder || child >= count || snapshot.folders[child].parent != noIndex)
                    return false;
                snapshot.folders[child].parent = folder;
                snapshot.folders[child].nameAt.store(base + p, std::memory_order_relaxed);
            }
            previous = name;
            previousLength = length;
            ++found;
            p += need;
        }
        if (found != declared)
            return false;
        snapshot.folders[folder].listing.store(base + at, std::memory_order_relaxed);
        entries += found;
        at = end;
    }
    if (at != size)
        return false;
    for (std::uint32_t folder = 1; folder < count; ++folder)
        if (snapshot.folders[folder].parent == noIndex)
            return false;
    return true;
}

} // namespace

std::unique_ptr<DriveSnapshot> readSnapshotFile(int fd, const std::string &path,
                                                const FileSystemIdentity &identity, const TimeTrust &trust) {
    struct stat info;
    unsigned char encoded[headerBytes];
    Header header;
    // Read from its start, in order: the header, the root path and records, the listings.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !readAll(fd, encoded, headerBytes) ||
        !decode(encoded, header))
        return nullptr;
    if (!(header.identity == identity) || header.roundToNs != trust.roundToNs ||
        header.rootPathBytes != path.size() || header.folders == 0)
        return nullptr;
    // Every size against the file's: no product below can overflow.
    const auto fileBytes = std::uint64_t(info.st_size);
    if (fileBytes < headerBytes + std::uint64_t(header.rootPathBytes))
        return nullptr;
    const std::uint64_t afterPath = fileBytes - headerBytes - header.rootPathBytes;
    if (header.folders > afterPath / (recordBytes + listingHeaderBytes) ||
        header.listingBytes != afterPath - std::uint64_t(header.folders) * recordBytes ||
        header.listingBytes > maxListingBytes)
        return nullptr;

    try {
        const std::size_t metaBytes = header.rootPathBytes + std::size_t(header.folders) * recordBytes;
        std::vector<unsigned char> meta(metaBytes);
        std::unique_ptr<unsigned char[]> listings(new unsigned char[header.listingBytes]);
        if (!readAll(fd, meta.data(), metaBytes) || !readAll(fd, listings.get(), header.listingBytes))
            return nullptr;
        Checksum checksum;
        put<std::uint64_t>(encoded + checksumAt, 0);
        checksum.add(encoded, headerBytes);
        checksum.add(meta.data(), metaBytes);
        checksum.add(listings.get(), header.listingBytes);
        if (checksum.value() != header.checksum ||
            std::memcmp(meta.data(), path.data(), header.rootPathBytes) != 0)
            return nullptr;

        auto snapshot = std::make_unique<DriveSnapshot>(path);
        const std::uint32_t count = header.folders;
        if (snapshot->folders.allocate(count) != DriveSnapshot::root)
            return nullptr;
        const unsigned char *records = meta.data() + header.rootPathBytes;
        for (std::uint32_t i = 0; i < count; ++i) {
            SnapshotFolder &folder = snapshot->folders[i];
            folder.ino = get<std::uint64_t>(records + 8 * std::size_t(i));
            folder.mtime = get<std::int64_t>(records + 8 * (std::size_t(count) + i));
            folder.ctime = get<std::int64_t>(records + 8 * (2 * std::size_t(count) + i));
            folder.flags = records[24 * std::size_t(count) + i];
            if (folder.flags & ~knownFlags)
                return nullptr;
        }
        const unsigned char *listingBytes = listings.get();
        const ListingRef base = snapshot->listings.adopt(std::move(listings), header.listingBytes);
        std::uint64_t entries = 0;
        if (base == noListing || !linkListings(*snapshot, listingBytes, header.listingBytes, base, entries) ||
            entries != header.entries)
            return nullptr;
        snapshot->rootIno = identity.rootIno;
        snapshot->identity = identity;
        snapshot->trust = trust;
        snapshot->rebuildOrder();
        return snapshot;
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

namespace {

constexpr std::uint64_t prime1 = 11400714785074694791ULL;
constexpr std::uint64_t prime2 = 14029467366897019727ULL;
constexpr std::uint64_t prime3 = 1609587929392839161ULL;
constexpr std::uint64_t prime4 = 9650029242287828579ULL;
constexpr std::uint64_t prime5 = 2870177450012600261ULL;

std::uint64_t rotl(std::uint64_t x, int r) {
    return (x << r) | (x >> (64 - r));
}

std::uint64_t mixIn(std::uint64_t lane, std::uint64_t input) {
    return rotl(lane + input * prime2, 31) * prime1;
}

std::uint64_t mergeLane(std::uint64_t hash, std::uint64_t lane) {
    return (hash ^ mixIn(0, lane)) * prime1 + prime4;
}

} // namespace

Checksum::Checksum()
    : lanes_{prime1 + prime2, prime2, 0, 0 - prime1} {}

void Checksum::add(const void *data, std::size_t size) {
    const auto *p = static_cast<const unsigned char *>(data);
    total_ += size;
    if (pendingBytes_ > 0) {
        const std::size_t take = std::min(size, sizeof pending_ - pendingBytes_);
        std::memcpy(pending_ + pendingBytes_, p, take);
        pendingBytes_ += take;
        p += take;
        size -= take;
        if (pendingBytes_ < sizeof pending_)
            return;
        for (int k = 0; k < 4; ++k)
            lanes_[k] = mixIn(lanes_[k], get<std::uint64_t>(pending_ + 8 * k));
        pendingBytes_ = 0;
    }
    std::uint64_t a = lanes_[0], b = lanes_[1], c = lanes_[2], d = lanes_[3];
    for (; size >= 32; p += 32, size -= 32) {
        a = mixIn(a, get<std::uint64_t>(p));
        b = mixIn(b, get<std::uint64_t>(p + 8));
        c = mixIn(c, get<std::uint64_t>(p + 16));
        d = mixIn(d, get<std::uint64_t>(p + 24));
    }
    lanes_[0] = a, lanes_[1] = b, lanes_[2] = c, lanes_[3] = d;
    std::memcpy(pending_, p, size);
    pendingBytes_ = size;
}

std::uint64_t Checksum::value() const {
    std::uint64_t hash;
    if (total_ >= 32) {
        hash = rotl(lanes_[0], 1) + rotl(lanes_[1], 7) + rotl(lanes_[2], 12) + rotl(lanes_[3], 18);
        for (std::uint64_t lane : lanes_)
            hash = mergeLane(hash, lane);
    } else {
        hash = prime5;
    }
    hash += total_;
    const unsigned char *p = pending_;
    std::size_t rest = pendingBytes_;
    for (; rest >= 8; p += 8, rest -= 8)
        hash = rotl(hash ^ mixIn(0, get<std::uint64_t>(p)), 27) * prime1 + prime4;
    for (; rest >= 4; p += 4, rest -= 4)
        hash = rotl(hash ^ (std::uint64_t(get<std::uint32_t>(p)) * prime1), 23) * prime2 + prime3;
    for (; rest > 0; ++p, --rest)
        hash = rotl(hash ^ (*p * prime5), 11) * prime1;
    hash ^= hash >> 33;
    hash *= prime2;
    hash ^= hash >> 29;
    hash *= prime3;
    hash ^= hash >> 32;
    return hash;
}

} // namespace search_component::plugin

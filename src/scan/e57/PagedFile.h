#pragma once
// The physical layer of an E57 file: the 48-byte file header and the pages that hold
// everything, each page's last four bytes being the CRC-32C of the others (big-endian).
// Offsets that the file itself records are physical (they count the checksums); the
// readers above work with logical offsets, which count data bytes only. Every page a read
// touches has its checksum checked once, so no byte of a damaged page reaches a caller.

#include <QFile>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace orthaven::e57 {

struct FileHeader
{
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint64_t physicalLength = 0; // the file's length, a whole number of pages
    std::uint64_t xmlPhysicalOffset = 0;
    std::uint64_t xmlLogicalLength = 0;
    std::uint64_t pageSize = 0;
};

class PagedFile
{
public:
    static constexpr int headerSize = 48;
    static constexpr int checksumSize = 4;
    static constexpr char signature[9] = "ASTM-E57";

    // cacheBytes: how much of the file is read at a time (whole pages).
    explicit PagedFile(std::size_t cacheBytes = std::size_t(1) << 20);

    // Opens the file and reads its header from page 0, whose checksum is checked. False
    // with error() when the file cannot be read, is no E57 file, is cut short or its
    // header does not describe a file we can read.
    bool open(const QString& path);
    void close();
    bool isOpen() const { return file.isOpen(); }
    QString path() const { return openedPath; }
    const FileHeader& header() const { return head; }

    // Data bytes per page, and of the whole file.
    std::uint64_t pageDataSize() const { return head.pageSize - checksumSize; }
    std::uint64_t logicalLength() const { return logicalEnd; }
    // A physical offset that lies on data (not on a checksum), and its logical offset.
    bool isDataOffset(std::uint64_t physical) const;
    std::uint64_t logicalOffset(std::uint64_t physical) const;
    std::uint64_t physicalOffset(std::uint64_t logical) const;

    // Copies the logical bytes [logical, logical + length) into dest, or only checks them
    // when dest is null. False with error() when they reach past the end of the file,
    // cannot be read, or a page they touch has a bad checksum.
    bool read(std::uint64_t logical, void* dest, std::uint64_t length);

    const std::string& error() const { return problem; }

private:
    bool fail(std::string text);
    // Makes page `page` present in the cache and checked; null on failure.
    const char* pageData(std::uint64_t page);

    QFile file;
    QString openedPath; // QFile forgets the name of a file it opens from a handle
    FileHeader head;
    std::uint64_t logicalEnd = 0;
    std::uint64_t pageCount = 0;
    std::size_t cacheBytes;
    std::vector<char> cache;
    std::vector<bool> checked; // per cached page
    std::uint64_t cacheFirstPage = 0;
    std::uint64_t cachePages = 0; // pages held in the cache
    std::string problem;
};

} // namespace orthaven::e57

#include "scan/e57/PagedFile.h"

#include "platform/RegularFile.h"
#include "scan/e57/Crc32c.h"
#include "scan/e57/Endian.h"

#include <algorithm>
#include <cstring>

namespace orthaven::e57 {

namespace {

constexpr std::uint64_t smallestPage = 64;
constexpr std::uint64_t largestPage = std::uint64_t(1) << 20;

std::string number(std::uint64_t value)
{
    return std::to_string(value);
}

} // namespace

PagedFile::PagedFile(std::size_t cacheSize) : cacheBytes(std::max<std::size_t>(cacheSize, 1)) {}

bool PagedFile::fail(std::string text)
{
    problem = std::move(text);
    return false;
}

void PagedFile::close()
{
    file.close();
    head = FileHeader();
    logicalEnd = 0;
    pageCount = 0;
    cache.clear();
    checked.clear();
    cachePages = 0;
}

bool PagedFile::open(const QString& path)
{
    close();
    problem.clear();
    file.setFileName(path);
    openedPath = path;
    QString why;
    if (!openRegularFile(file, QIODevice::ReadOnly, &why))
        return fail("cannot open the file: " + why.toStdString());
    const qint64 size = file.size();

    char start[headerSize] = {};
    const qint64 got = file.read(start, std::min<qint64>(size, headerSize));
    if (got < 0)
        return fail("cannot read the file");
    if (got < qint64(sizeof signature - 1) || std::memcmp(start, signature, 8) != 0)
        return fail("not an E57 file: it does not start with \"ASTM-E57\"");
    if (got < headerSize)
        return fail("cut short: the file ends inside its header, after " + number(got) + " bytes");

    head.majorVersion = loadLittleEndian<std::uint32_t>(start + 8);
    head.minorVersion = loadLittleEndian<std::uint32_t>(start + 12);
    head.physicalLength = loadLittleEndian<std::uint64_t>(start + 16);
    head.xmlPhysicalOffset = loadLittleEndian<std::uint64_t>(start + 24);
    head.xmlLogicalLength = loadLittleEndian<std::uint64_t>(start + 32);
    head.pageSize = loadLittleEndian<std::uint64_t>(start + 40);

    const std::uint64_t page = head.pageSize;
    if (page < smallestPage || page > largestPage || (page & (page - 1)) != 0)
        return fail("page size of " + number(page) +
                    " bytes (a power of two from 64 to 1048576 is read)");
    if (std::uint64_t(size) < page)
        return fail("cut short: the file ends inside page 0, after " + number(std::uint64_t(size)) +
                    " bytes");
    // Page 0 holds the header: its checksum vouches for everything above.
    cacheFirstPage = 0;
    cachePages = 0;
    pageCount = 1;
    if (!pageData(0))
        return false;

    if (head.majorVersion != 1)
        return fail("format version " + number(head.majorVersion) + "." +
                    number(head.minorVersion) + " (version 1 is read)");
    if (head.physicalLength == 0 || head.physicalLength % page != 0)
        return fail("the header gives the file a length of " + number(head.physicalLength) +
                    " bytes, not a whole number of " + number(page) + "-byte pages");
    if (std::uint64_t(size) < head.physicalLength)
        return fail("cut short: the header gives " + number(head.physicalLength) +
                    " bytes, the file holds " + number(std::uint64_t(size)));
    pageCount = head.physicalLength / page;
    logicalEnd = pageCount * pageDataSize();
    if (!isDataOffset(head.xmlPhysicalOffset) ||
        head.xmlLogicalLength > logicalEnd - logicalOffset(head.xmlPhysicalOffset))
        return fail("the XML section (" + number(head.xmlLogicalLength) + " bytes at byte " +
                    number(head.xmlPhysicalOffset) + ") does not lie within the file");
    return true;
}

bool PagedFile::isDataOffset(std::uint64_t physical) const
{
    return head.pageSize != 0 && physical < pageCount * head.pageSize &&
           physical % head.pageSize < pageDataSize();
}

std::uint64_t PagedFile::logicalOffset(std::uint64_t physical) const
{
    return physical / head.pageSize * pageDataSize() + physical % head.pageSize;
}

std::uint64_t PagedFile::physicalOffset(std::uint64_t logical) const
{
    return logical / pageDataSize() * head.pageSize + logical % pageDataSize();
}

const char* PagedFile::pageData(std::uint64_t page)
{
    const std::uint64_t size = head.pageSize;
    if (page >= pageCount) {
        fail("the file has no page " + number(page));
        return nullptr;
    }
    if (page < cacheFirstPage || page >= cacheFirstPage + cachePages) {
        const std::uint64_t perLoad = std::max<std::uint64_t>(1, cacheBytes / size);
        const std::uint64_t pages = std::min(perLoad, pageCount - page);
        cache.resize(std::size_t(pages * size));
        cachePages = 0;
        if (!file.seek(qint64(page * size)) ||
            file.read(cache.data(), qint64(pages * size)) != qint64(pages * size)) {
            fail("cannot read page " + number(page));
            return nullptr;
        }
        cacheFirstPage = page;
        cachePages = pages;
        checked.assign(std::size_t(pages), false);
    }
    const std::size_t index = std::size_t(page - cacheFirstPage);
    const char* data = cache.data() + index * size;
    if (!checked[index]) {
        const std::uint32_t stored = loadBigEndian32(data + size - checksumSize);
        if (pageChecksum(data, std::size_t(size - checksumSize)) != stored) {
            fail("bad checksum in page " + number(page) + " (bytes " + number(page * size) +
                 " to " + number(page * size + size - 1) + ")");
            return nullptr;
        }
        checked[index] = true;
    }
    return data;
}

bool PagedFile::read(std::uint64_t logical, void* dest, std::uint64_t length)
{
    if (logical > logicalEnd || length > logicalEnd - logical)
        return fail("the file ends before byte " + number(physicalOffset(logical + length)) +
                    ", which its contents reach");
    const std::uint64_t perPage = pageDataSize();
    auto* out = static_cast<char*>(dest);
    while (length > 0) {
        const std::uint64_t page = logical / perPage;
        const std::uint64_t within = logical % perPage;
        const std::uint64_t take = std::min(length, perPage - within);
        const char* data = pageData(page);
        if (!data)
            return false;
        if (out) {
            std::memcpy(out, data + within, std::size_t(take));
            out += take;
        }
        logical += take;
        length -= take;
    }
    return true;
}

} // namespace orthaven::e57

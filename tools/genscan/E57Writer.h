#pragma once
// Writes scans as an E57 file (ASTM E2807): page-structured with a CRC-32C per page, one
// compressed vector section per scan (bitpack codec: coordinates as single-precision
// floats, which hold the generated coordinates exactly, an invalid state for missing
// returns, row and column index, optionally intensity and colour), then the XML section
// that describes them. Several scans may share a file.

#include "genscan/ScanWriter.h"
#include "scan/e57/Bitpack.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace orthaven::genscan {

class E57Writer : public ScanWriter
{
public:
    QString extension() const override { return QStringLiteral(".e57"); }
    bool holdsSeveralScans() const override { return true; }
    bool beginFile(const QString& path) override;
    bool beginScan(const ScanInfo& info) override;
    bool writeColumn(const std::vector<ScanPoint>& points) override;
    bool endScan() override;
    bool endFile() override;

private:
    struct Stream
    {
        std::string bytes;
        std::size_t taken = 0; // bytes already put into packets
        int bits = 0;          // bitpacked width; 0 for a float field
        e57::BitPacker packer;
    };
    struct WrittenScan
    {
        ScanInfo info;
        std::uint64_t sectionPhysical = 0;
        std::int64_t records = 0;
    };

    bool failWith(const QString& message);
    // Logical bytes into pages; each page is written with its checksum once full.
    void append(const char* data, std::size_t size);
    void append(const std::string& data) { append(data.data(), data.size()); }
    void emitPage();
    std::uint64_t position() const;
    std::uint64_t physical(std::uint64_t logical) const;
    // Pages that will be rewritten later (the file header, section headers) keep a copy.
    void retain(std::uint64_t logical, std::size_t size);
    bool patch(std::uint64_t logical, const std::string& bytes);
    // Puts pending bytestream bytes into data packets: while a full packet's worth is
    // pending, or everything when final.
    void emitPackets(bool final);
    QByteArray xmlSection() const;

    BufferedFile out;
    std::string page; // data bytes of the page being filled
    std::uint64_t pagesDone = 0;
    std::map<std::uint64_t, std::string> retained; // page → its data bytes
    std::vector<Stream> streams;
    std::vector<WrittenScan> scans;
    ScanInfo scan;
    std::uint64_t sectionStart = 0;
    int columnsWritten = 0;
    bool inScan = false;
    bool failed = false;
};

} // namespace orthaven::genscan

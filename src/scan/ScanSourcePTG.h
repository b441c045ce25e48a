#pragma once
// The scan source for Leica PTG files (binary, one gridded scan per file) and for the PTG
// index files that name them: headers are read once, points are reached column by column.
//
// A PTG file is "PTG", a zero byte and a 32-bit magic number, then key records up to
// "%%header_end", a table of one 64-bit file offset per scan column, and at each offset a
// row mask (one bit per row) followed by one point record per set bit.

#include "scan/ScanSource.h"

#include <QList>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orthaven {

class BinaryBlockReader;

class ScanSourcePTG : public ScanSource
{
public:
    // What a file starts with: "PTG", a zero byte, then this number.
    static constexpr quint32 magicNumber = 0x928FA3C7u;
    // Bit values of "%%properties": which fields a point record holds.
    enum PropertyBits : qint32
    {
        FloatCoordinates = 1,  // x, y, z as 32-bit floats (also when no bit is set)
        DoubleCoordinates = 2, // x, y, z as 64-bit doubles, in place of the floats
        Intensity = 4,         // a 32-bit float after the coordinates
        Colour = 8             // three bytes after that
    };

    ScanSourcePTG();
    ~ScanSourcePTG() override;

private:
    struct Header
    {
        int columnCount = 0;
        int rowCount = 0;
        qint32 properties = 0;
        cv::Mat pose;
        qint64 tableOffset = 0; // where the column offset table begins
    };
    // Where readColumn puts what it reads; null channels are skipped.
    struct ChunkOutput
    {
        double* xs = nullptr;
        double* ys = nullptr;
        double* zs = nullptr;
        double* ws = nullptr;
        float* intensities = nullptr;
        std::uint8_t* colours[3] = {nullptr, nullptr, nullptr};
    };

    // Every input is either a PTG file or a PTG index file, which stands for the scan
    // files it names. A file named more than once is read once; files that contribute no
    // scan are left out of the scan list.
    bool findScans(const QStringList& files) override;
    // The path of every scan's file.
    void nameScans(QStringList& names) const override;
    bool poseOf(int i, cv::Mat& pose) const override;
    bool open(int i) override;
    bool close(int i) override;
    bool isOpen(int i) const override;
    // rows = "%%rows" (points per column), columns = "%%cols".
    bool dimensionsOf(int i, int& rows, int& columns) override;
    // At most maxColumns scan columns and at most maxChunkPoints points per call.
    ReadStep readNext(const ReadRequest& request, ScanChunk& piece) override;

    // Bytes of one point record for a "%%properties" value.
    static int recordSize(qint32 properties);
    // Whether the file begins with the line "PTG index file".
    static bool isIndexFile(const QString& path);
    // The scan files an index file names, in its order: absolute paths in the index
    // file's folder, letter case kept, '\' taken as a folder separator.
    static QStringList readIndexFile(const QString& path);
    bool readHeader(BinaryBlockReader& in, Header& header) const;
    bool restartIfPending(int i);
    // Reads (the rest of) column columnCursor into out from entry n on, at most
    // capacity - n records; moves columnCursor on once the column is done.
    void readColumn(const ChunkOutput& out, qint64& n, qint64 capacity);
    void skipDamagedColumn();
    void reportScanEnd();

    int currentScan = -1;
    int openColumnCount = 0;
    int openRowCount = 0;
    QList<int> columnCounts;
    QList<int> rowCounts;
    std::vector<qint64> columnOffsets;
    std::vector<qint64> columnLimits; // where each column's data must end at the latest
    qint32 properties = 0;
    std::unique_ptr<BinaryBlockReader> stream;
    std::vector<cv::Mat> poses;
    int columnCursor = 0;

    // The column being read when a chunk filled up inside it.
    qint64 columnRecordsOffset = -1; // -1: the next column starts afresh
    qint64 columnRecords = 0;
    qint64 columnRecordsDone = 0;
    qint64 dataStart = 0;      // first byte after the column offset table
    qint64 damagedColumns = 0; // of the open scan, since it was (re)started
    qint64 skippedPoints = 0;
    bool endReported = false;
};

} // namespace orthaven

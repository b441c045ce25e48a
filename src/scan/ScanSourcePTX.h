#pragma once
// The scan source for PTX text files: indexes every scan of every input file once, then
// streams the points of one scan at a time straight from its file, seeking to its header.
//
// A PTX scan is a ten-line header followed by one point per line, column by column:
// line 1 holds the number of scan columns, line 2 the points per column (the rows of the
// scan grid), lines 3-6 are ignored, and line 7 + k holds column k of the 4 × 4 pose.

#include "scan/PtxBlockParser.h"
#include "scan/ScanSource.h"

#include <QList>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orthaven {

class TextLineReader;

class ScanSourcePTX : public GridScanSource
{
public:
    ScanSourcePTX();
    ~ScanSourcePTX() override;

private:
    struct Header
    {
        int columnCount = 0; // header line 1
        int rowCount = 0;    // header line 2: points per scan column
        cv::Mat pose;
    };
    enum class HeaderResult
    {
        Read,
        AtEnd,
        Incomplete,
        Invalid
    };

    bool findScans(const QStringList& files) override;
    void nameScans(QStringList& names) const override;
    bool poseOf(int i, cv::Mat& pose) const override;
    bool open(int i) override;
    bool close(int i) override;
    bool isOpen(int i) const override;
    // rows = points per column (header line 2), columns = header line 1; a scan whose
    // point lines end early reports the part of the grid its lines fill.
    bool dimensionsOf(int i, int& rows, int& columns) override;
    // At most maxChunkPoints points per call, whatever the hint. A point line holding a
    // fourth number gives the intensity, one holding seven the colour as well.
    ReadStep readNext(const ReadRequest& request, ScanChunk& piece) override;
    qint64 pointsLeft(int i) const override;
    bool polarColumns(int i, cv::Mat& polar, int columns) override;
    bool pointList(int i, std::vector<cv::Mat>& list, int maxColumns) override;
    // The columns passed over are only counted through, line by line, never parsed.
    bool sampleColumns(int i, cv::Mat& points, int stride, int maxColumns) override;

    HeaderResult readHeader(TextLineReader& in, Header& header, qint64& position) const;
    bool locateScan(int i, int& fileIndex, qint64& position) const;
    bool restartIfPending(int i);
    // Reads the open scan's point lines with the block parser (several threads).
    ReadStep readBlocks(ScanChunk& piece);
    bool nextBlock(PtxBlockParser::Block& block);
    // The lines of block that belong to the open scan, and how many of them hold no point.
    qint64 linesTaken(const PtxBlockParser::Block& block, qint64& skipped) const;
    // Counts the block's lines of the open scan as read; returns their points.
    cv::Mat consumeBlock(const PtxBlockParser::Block& block);
    // Gives the open scan back to the line reader, at the line after the last one the
    // block parser delivered.
    void leaveBlocks();
    bool scanHasMore() const;
    void reportScanEnd();
    // Reads point lines of the open scan until `capacity` entries were handed to `take`
    // or the scan's lines end. Lines that hold no point are counted in skippedLines and
    // either dropped or, with malformedTakesPlace, handed on as invalid entries. take gets
    // the entry's index, whether it holds a point, x, y, z and the rest of the line.
    template <class Take>
    qint64 readPointLines(qint64 capacity, Take take, bool malformedTakesPlace = false);

    int currentScan = -1;
    int openColumnCount = 0;
    int openRowCount = 0;
    QList<QList<qint64>> scanHeaderPositions; // byte offsets of the headers, per file
    QList<int> rowCounts;
    QList<int> columnCounts;
    std::unique_ptr<TextLineReader> stream;
    std::unique_ptr<PtxBlockParser> blocks;          // while the open scan is read in blocks
    std::optional<PtxBlockParser::Block> blockAhead; // taken from the parser, not yet read
    qint64 blocksOffset = 0; // where the lines after the delivered ones start
    bool blocksMore = true;  // the file holds lines after the delivered ones
    std::vector<cv::Mat> poses;

    QList<qint64> pointLinesPresent; // per scan: point lines its file holds
    qint64 openPointLines = 0;       // rows × columns of the open scan
    qint64 linesConsumed = 0;        // point lines of the open scan read since opening
    qint64 skippedLines = 0;         // of those, lines that held no point
    bool endReported = false;
    // What the open scan's point lines carry beside x, y, z, judged by its first point line.
    bool channelsKnown = false;
    bool hasIntensity = false;
    bool hasColour = false;
};

} // namespace orthaven

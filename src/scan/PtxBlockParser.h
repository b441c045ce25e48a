#pragma once
// Parses the point lines of a PTX file from a byte offset on, in blocks of whole lines
// cut from the file one after another and parsed on worker threads, and hands the blocks
// back in file order. Each line is read as the line-by-line path reads it (a line as long
// as the line reader's buffer or longer holds no point), so a scan read either way gives
// the same points.

#include <QFile>
#include <QString>
#include <QThreadPool>

#include <opencv2/core.hpp>

#include <deque>
#include <future>
#include <memory>
#include <vector>

namespace orthaven {

class ThreadBudget;

class PtxBlockParser
{
public:
    struct Block
    {
        cv::Mat points;                // 4 × N, CV_64F: the points of the lines, in order
        qint64 lines = 0;              // lines in the block, those without a point included
        std::vector<qint64> malformed; // indices of the lines that hold no point
        int firstChannelNumbers = -1;  // numbers after x y z on the first point line
        qint64 endOffset = 0;          // byte offset just after the block's last line
        bool lastInFile = false;       // nothing follows in the file
    };

    // Bytes of text per block.
    static constexpr qint64 blockBytes = qint64(4) << 20;

    // path: the PTX file; offset: where its next point line starts; threads: parsers;
    // budget: where a parser takes its slot while it parses, and the caller gives its own
    // back while it waits for a block (none: no slots are taken).
    PtxBlockParser(const QString& path, qint64 offset, int threads, ThreadBudget* budget = nullptr);
    ~PtxBlockParser(); // waits for the blocks under way
    PtxBlockParser(const PtxBlockParser&) = delete;
    PtxBlockParser& operator=(const PtxBlockParser&) = delete;

    // Whether parsers made from now on map their file into memory where they can (the
    // default) or read it; both give the same blocks.
    static void mapFiles(bool map);

    // False when the file could not be opened at the offset.
    bool isOpen() const { return file.isOpen(); }
    // The next block in file order (what a worker threw is thrown again here); false when
    // the file has no line left.
    bool next(Block& block);

private:
    struct Text
    {
        std::vector<char> bytes;     // whole lines, read from the file
        const char* lines = nullptr; // whole lines: bytes or a stretch of the mapped file
        std::size_t size = 0;
        qint64 endOffset = 0;
        bool lastInFile = false;
        bool overlong = false; // one line too long to hold, skipped
    };
    // Cuts the next block of whole lines from the file; false at its end.
    bool cut(Text& text);
    // The same from the file mapped into memory: no byte is copied.
    bool cutMapped(Text& text);
    // Lets go of the mapped pages before the offset: every block before it is parsed.
    void releasePages(qint64 parsedUpTo);
    void fill();
    static Block parse(const Text& text);

    QFile file;
    const uchar* mapped = nullptr; // the whole file, where it could be mapped
    qint64 fileSize = 0;
    qint64 released = 0;     // mapped bytes let go of
    qint64 offset = 0;       // of the first byte not yet cut
    std::vector<char> carry; // the start of a line whose end is not read yet
    bool endOfFile = false;
    bool cutAll = false; // every line is in a block
    int inFlight;
    ThreadBudget* budget;
    QThreadPool pool;
    std::deque<std::future<Block>> blocks;
};

} // namespace orthaven

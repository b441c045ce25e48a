#include "scan/PtxBlockParser.h"

#include "platform/RegularFile.h"
#include "platform/ThreadBudget.h"
#include "scan/PtxLine.h"
#include "scan/TextLineReader.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string_view>

#if defined(Q_OS_UNIX)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace orthaven {

namespace {

// The line reader hands out no line of its buffer's size or longer.
constexpr std::size_t longestLine = TextLineReader::defaultBufferSize;

std::atomic<bool> mapping{true};

} // namespace

PtxBlockParser::PtxBlockParser(const QString& path, qint64 start, int threads,
                               ThreadBudget* threadBudget)
    : file(path), offset(start), inFlight(std::max(2, 2 * threads)), budget(threadBudget)
{
    pool.setMaxThreadCount(std::max(1, threads));
    if (!openRegularFile(file, QIODevice::ReadOnly | QIODevice::Unbuffered) || !file.seek(start)) {
        file.close();
        return;
    }
    // Mapped, the blocks are parsed where the file's pages are, without a copy; where it
    // cannot be mapped (a large file in a small address space), it is read.
    fileSize = file.size();
    if (fileSize > 0 && mapping)
        mapped = file.map(0, fileSize);
}

void PtxBlockParser::mapFiles(bool map)
{
    mapping = map;
}

PtxBlockParser::~PtxBlockParser()
{
    pool.waitForDone();
}

bool PtxBlockParser::cutMapped(Text& text)
{
    if (offset >= fileSize) {
        cutAll = true;
        return false;
    }
    const char* const begin = reinterpret_cast<const char*>(mapped);
    const char* const from = begin + offset;
    const char* const windowEnd = begin + std::min(offset + blockBytes, fileSize);
    const char* const fileEnd = begin + fileSize;
    // Up to the last line end in the window.
    const auto last =
        std::find(std::make_reverse_iterator(windowEnd), std::make_reverse_iterator(from), '\n');
    const char* end = last.base(); // after the '\n', or from when there is none
    if (end == from) {
        if (windowEnd == fileEnd) {
            end = fileEnd; // a last line without its line end
        } else {
            // A line too long to hold: it holds no point. Its end is looked for.
            const void* newline = std::memchr(windowEnd, '\n', std::size_t(fileEnd - windowEnd));
            end = newline ? static_cast<const char*>(newline) + 1 : fileEnd;
            text.overlong = true;
        }
    }
    text.lines = from;
    text.size = text.overlong ? 0 : std::size_t(end - from);
    offset = end - begin;
    text.endOffset = offset;
    text.lastInFile = offset == fileSize;
    cutAll = text.lastInFile;
    return true;
}

bool PtxBlockParser::cut(Text& text)
{
    if (cutAll || !file.isOpen())
        return false;
    if (mapped)
        return cutMapped(text);
    std::vector<char> bytes = std::move(carry);
    carry.clear();
    std::size_t searched = 0; // bytes before this hold no line end
    for (;;) {
        const auto newline = std::find(bytes.rbegin(), bytes.rend() - qint64(searched), '\n');
        if (newline != bytes.rend() - qint64(searched)) {
            const std::size_t end = std::size_t(bytes.rend() - newline); // after the '\n'
            carry.assign(bytes.begin() + qint64(end), bytes.end());
            bytes.resize(end);
            text.bytes = std::move(bytes);
            text.lines = text.bytes.data();
            text.size = text.bytes.size();
            text.endOffset = offset - qint64(carry.size());
            text.lastInFile = endOfFile && carry.empty();
            cutAll = text.lastInFile;
            return true;
        }
        searched = bytes.size();
        if (bytes.size() >= longestLine) {
            // A line too long to hold: it holds no point. Its end is looked for without
            // keeping it.
            text.bytes.clear();
            text.overlong = true;
            std::vector<char> chunk(std::size_t(1) << 20);
            for (;;) {
                const qint64 n = endOfFile ? 0 : file.read(chunk.data(), qint64(chunk.size()));
                if (n <= 0) {
                    endOfFile = true;
                    break;
                }
                offset += n;
                const auto it = std::find(chunk.begin(), chunk.begin() + n, '\n');
                if (it != chunk.begin() + n) {
                    carry.assign(it + 1, chunk.begin() + n);
                    break;
                }
            }
            text.endOffset = offset - qint64(carry.size());
            text.lastInFile = endOfFile && carry.empty();
            cutAll = text.lastInFile;
            return true;
        }
        const qint64 n = endOfFile ? 0 : [&] {
            const std::size_t had = bytes.size();
            bytes.resize(had + std::size_t(blockBytes));
            const qint64 got = file.read(bytes.data() + had, blockBytes);
            bytes.resize(had + std::size_t(std::max<qint64>(got, 0)));
            return got;
        }();
        if (n <= 0) {
            endOfFile = true;
            // The file ends: what is left is a last line without its line end.
            if (bytes.empty()) {
                cutAll = true;
                return false;
            }
            text.bytes = std::move(bytes);
            text.lines = text.bytes.data();
            text.size = text.bytes.size();
            text.endOffset = offset;
            text.lastInFile = true;
            cutAll = true;
            return true;
        }
        offset += n;
    }
}

PtxBlockParser::Block PtxBlockParser::parse(const Text& text)
{
    Block block;
    block.endOffset = text.endOffset;
    block.lastInFile = text.lastInFile;
    if (text.overlong) {
        block.lines = 1;
        block.malformed.push_back(0);
        return block;
    }
    const char* p = text.lines;
    const char* const end = p + text.size;
    qint64 lines = 0;
    for (const char* q = p; q < end;) {
        const void* nl = std::memchr(q, '\n', std::size_t(end - q));
        ++lines;
        q = nl ? static_cast<const char*>(nl) + 1 : end;
    }
    cv::Mat points(4, int(std::max<qint64>(lines, 1)), CV_64F);
    double* const xs = points.ptr<double>(0);
    double* const ys = points.ptr<double>(1);
    double* const zs = points.ptr<double>(2);
    double* const ws = points.ptr<double>(3);
    int n = 0;
    for (qint64 line = 0; p < end; ++line) {
        const void* nl = std::memchr(p, '\n', std::size_t(end - p));
        const char* const lineEnd = nl ? static_cast<const char*>(nl) : end;
        const std::string_view view(p, std::size_t(lineEnd - p));
        p = nl ? lineEnd + 1 : end;
        double x = 0, y = 0, z = 0;
        const char* rest = view.size() < longestLine ? ptx::parsePoint(view, x, y, z) : nullptr;
        if (!rest) {
            block.malformed.push_back(line);
            continue;
        }
        if (block.firstChannelNumbers < 0)
            block.firstChannelNumbers = ptx::countChannelNumbers(rest, view.data() + view.size());
        xs[n] = x;
        ys[n] = y;
        zs[n] = z;
        ws[n] = 1.0;
        ++n;
    }
    block.lines = lines;
    if (n > 0)
        block.points = n == points.cols ? points : points.colRange(0, n).clone();
    return block;
}

void PtxBlockParser::fill()
{
    while (int(blocks.size()) < inFlight) {
        auto text = std::make_shared<Text>();
        if (!cut(*text))
            return;
        auto promise = std::make_shared<std::promise<Block>>();
        blocks.push_back(promise->get_future());
        pool.start([text, promise, threads = budget] {
            const ThreadBudget::Slot slot(threads);
            try {
                promise->set_value(parse(*text));
            } catch (...) {
                promise->set_exception(std::current_exception());
            }
        });
    }
}

bool PtxBlockParser::next(Block& block)
{
    fill();
    if (blocks.empty())
        return false;
    std::future<Block> first = std::move(blocks.front());
    blocks.pop_front();
    fill(); // the next blocks are parsed while this one is handed over
    if (first.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        const ThreadBudget::Idle idle(budget);
        first.wait();
    }
    block = first.get();
    if (mapped)
        releasePages(block.endOffset);
    return true;
}

void PtxBlockParser::releasePages(qint64 parsedUpTo)
{
#if defined(Q_OS_UNIX)
    // The pages of the lines parsed are let go: they stay in the system's file cache, but
    // no longer count towards this process's memory, which would otherwise grow by the
    // size of the file.
    static const qint64 page = sysconf(_SC_PAGESIZE);
    const qint64 end = parsedUpTo / page * page;
    if (page > 0 && end > released) {
        madvise(const_cast<uchar*>(mapped) + released, std::size_t(end - released), MADV_DONTNEED);
        released = end;
    }
#else
    Q_UNUSED(parsedUpTo)
#endif
}

} // namespace orthaven

#include "engine/SharedScans.h"

#include "platform/ThreadBudget.h"

#include <QStringList>

#include <algorithm>
#include <stdexcept>

namespace orthaven {

// What the reader said of the scans before the reading began, for every view.
struct SharedScans::Listing
{
    QStringList names;
    std::vector<cv::Mat> poses;
    std::vector<std::uint8_t> posed, positioned, bounded, firstOpened, dimensioned;
    std::vector<cv::Vec3d> lows, highs;
    std::vector<std::int64_t> counts;
    std::vector<std::pair<int, int>> dimensions;
    std::vector<ScanChunk> firsts;
    std::vector<ScanNote> notes;
};

// What one run sees: the listing, the chunks of the shared reading, and the reader's notes
// and errors of the scans it reads.
class SharedScans::View : public ScanSource
{
public:
    View(SharedScans& owner, int run, std::shared_ptr<const Listing> listed)
        : shared(owner), k(run), listing(std::move(listed))
    {
    }

private:
    bool findScans(const QStringList&) override
    {
        numScans = int(listing->poses.size());
        for (const ScanNote& note : listing->notes)
            noteDamage(note.scan, note.text);
        return numScans > 0;
    }
    void nameScans(QStringList& out) const override { out = listing->names; }
    // Scan i when it is one, as an index into the listing's lists.
    bool known(int i) const { return i >= 0 && i < numScans; }
    static std::size_t at(int i) { return std::size_t(i); }
    bool poseOf(int i, cv::Mat& pose) const override
    {
        if (!known(i) || !listing->posed[at(i)])
            return false;
        listing->poses[at(i)].copyTo(pose);
        return true;
    }
    bool positionKnown(int i) const override { return !known(i) || listing->positioned[at(i)]; }
    bool boundsOf(int i, cv::Vec3d& low, cv::Vec3d& high) const override
    {
        if (!known(i) || !listing->bounded[at(i)])
            return false;
        low = listing->lows[at(i)];
        high = listing->highs[at(i)];
        return true;
    }
    std::int64_t countOf(int i) override { return known(i) ? listing->counts[at(i)] : -1; }
    bool dimensionsOf(int i, int& rows, int& columns) override
    {
        rows = known(i) ? listing->dimensions[at(i)].first : 0;
        columns = known(i) ? listing->dimensions[at(i)].second : 0;
        return known(i) && listing->dimensioned[at(i)];
    }
    bool firstPointsOf(int i, ScanChunk& first, PointChannels channels) override
    {
        if (!known(i) || !listing->firstOpened[at(i)])
            return false;
        first = only(listing->firsts[at(i)], channels);
        return true;
    }
    bool open(int i) override
    {
        std::string error;
        // Waiting for the reader is no work: the run's slot is free meanwhile.
        const ThreadBudget::Idle waiting(threadBudget());
        const bool opened = shared.open(k, i, error);
        if (!error.empty())
            throw std::runtime_error(error);
        current = opened ? i : -1;
        return opened;
    }
    bool close(int i) override
    {
        leaveScan(i);
        return true;
    }
    bool isOpen(int i) const override { return current != -1 && current == i; }
    void rewound() override { leaveScan(current); }
    ReadStep readNext(const ReadRequest& request, ScanChunk& piece) override
    {
        Entry entry;
        bool taken = false;
        if (request.scan == current) {
            const ThreadBudget::Idle waiting(threadBudget());
            taken = shared.next(k, request.scan, entry);
        }
        if (!taken)
            return ReadStep::End;
        for (const std::string& note : entry.notes)
            noteDamage(request.scan, note);
        if (!entry.error.empty())
            return readError(request.scan, entry.error);
        piece = only(entry.chunk, request.channels);
        if (piece.points.cols < 2)
            return entry.more ? ReadStep::Chunk : ReadStep::End;
        return entry.more ? ReadStep::Chunk : ReadStep::LastChunk;
    }

    void leaveScan(int i)
    {
        if (i < 0)
            return;
        const std::lock_guard<std::mutex> guard(shared.lock);
        shared.drop(k, i);
    }
    // The chunk with the channels its run asks for alone, sharing the pixels.
    static ScanChunk only(const ScanChunk& chunk, PointChannels channels)
    {
        ScanChunk out;
        out.points = chunk.points;
        if (channels.intensity)
            out.intensity = chunk.intensity;
        if (channels.colour)
            out.colour = chunk.colour;
        return out;
    }

    SharedScans& shared;
    const int k;
    const std::shared_ptr<const Listing> listing;
    int current = -1;
};

SharedScans::SharedScans(ScanSource& input, const std::vector<QBitArray>& selections,
                         PointChannels readChannels, int columns, std::int64_t points)
    : source(input), channels(readChannels), maxColumns(columns), bufferPoints(points)
{
    const int count = source.scanCount();
    const int runs = int(selections.size());
    scans.assign(std::size_t(count), ScanState{});
    passed.assign(std::size_t(runs), 0);
    for (int i = 0; i < count; ++i) {
        scans[std::size_t(i)].wanted.assign(std::size_t(runs), false);
        for (int k = 0; k < runs; ++k)
            scans[std::size_t(i)].wanted[std::size_t(k)] =
                i < selections[std::size_t(k)].size() && selections[std::size_t(k)].testBit(i);
    }

    // The listing, once for every view: the reader thread owns the source from here on.
    auto listing = std::make_shared<Listing>();
    source.scanNames(listing->names);
    const bool layer = channels.intensity || channels.colour;
    for (int i = 0; i < count; ++i) {
        cv::Mat pose;
        listing->posed.push_back(source.scanPose(i, pose));
        listing->poses.push_back(pose);
        listing->positioned.push_back(source.hasPosition(i));
        cv::Vec3d low, high;
        listing->bounded.push_back(source.scanBounds(i, low, high));
        listing->lows.push_back(low);
        listing->highs.push_back(high);
        listing->counts.push_back(source.pointCount(i));
        int rows = 0, columnCount = 0;
        listing->dimensioned.push_back(source.scanDimensions(i, rows, columnCount));
        listing->dimensions.emplace_back(rows, columnCount);
        // A layer's run looks at each scan's first points before it draws any.
        ScanChunk first;
        listing->firstOpened.push_back(layer && wantedByAny(i) &&
                                       source.firstPoints(i, first, channels));
        listing->firsts.push_back(first);
    }
    listing->notes = source.notes();
    for (int k = 0; k < runs; ++k) {
        views.push_back(std::make_unique<View>(*this, k, listing));
        views.back()->fetchFiles({});
        views.back()->setReadThreads(source.readThreads());
    }
    reader = std::thread([this] { readAll(); });
}

SharedScans::~SharedScans()
{
    {
        const std::lock_guard<std::mutex> guard(lock);
        closing = true;
    }
    changed.notify_all();
    reader.join();
}

ScanSource& SharedScans::view(int k)
{
    return *views[std::size_t(k)];
}

void SharedScans::leave(int k)
{
    const std::lock_guard<std::mutex> guard(lock);
    for (int i = 0; i < int(scans.size()); ++i)
        drop(k, i);
}

bool SharedScans::wantedByAny(int scan) const
{
    const std::vector<bool>& wanted = scans[std::size_t(scan)].wanted;
    return std::find(wanted.begin(), wanted.end(), true) != wanted.end();
}

void SharedScans::drop(int k, int scan)
{
    if (scan < 0 || scan >= int(scans.size()) || !scans[std::size_t(scan)].wanted[std::size_t(k)])
        return;
    scans[std::size_t(scan)].wanted[std::size_t(k)] = false;
    for (Entry& entry : buffer)
        if (entry.scan == scan)
            entry.pending[std::size_t(k)] = false;
    trim();
    changed.notify_all();
}

void SharedScans::trim()
{
    while (!buffer.empty() &&
           std::find(buffer.front().pending.begin(), buffer.front().pending.end(), true) ==
               buffer.front().pending.end()) {
        buffered -= buffer.front().chunk.points.cols;
        buffer.pop_front();
    }
}

bool SharedScans::open(int k, int scan, std::string& error)
{
    std::unique_lock<std::mutex> guard(lock);
    if (scan < 0 || scan >= int(scans.size()) || !scans[std::size_t(scan)].wanted[std::size_t(k)])
        return false; // not one of its scans, or one it has left
    // Scans are read in order: the earlier ones are behind this run.
    for (int& i = passed[std::size_t(k)]; i < scan; ++i)
        drop(k, i);
    changed.wait(guard, [&] { return closing || scans[std::size_t(scan)].openKnown; });
    error = scans[std::size_t(scan)].openError;
    return scans[std::size_t(scan)].opened;
}

bool SharedScans::next(int k, int scan, Entry& entry)
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        for (Entry& candidate : buffer) {
            if (candidate.scan == scan && candidate.pending[std::size_t(k)]) {
                entry = candidate;
                candidate.pending[std::size_t(k)] = false;
                trim();
                changed.notify_all();
                return true;
            }
        }
        const ScanState& state = scans[std::size_t(scan)];
        if (closing || state.finished || !state.wanted[std::size_t(k)])
            return false;
        changed.wait(guard);
    }
}

void SharedScans::readAll()
{
    for (int i = 0; i < int(scans.size()); ++i) {
        ScanState& state = scans[std::size_t(i)];
        {
            std::unique_lock<std::mutex> guard(lock);
            if (closing)
                return;
            if (!wantedByAny(i)) {
                state.openKnown = true;
                state.finished = true;
                changed.notify_all();
                continue;
            }
        }
        const int errors = source.errorCount();
        const bool opened = source.openScan(i);
        {
            const std::lock_guard<std::mutex> guard(lock);
            state.openKnown = true;
            state.opened = opened;
            if (source.errorCount() != errors)
                state.openError = source.lastError();
        }
        changed.notify_all();
        bool more = opened;
        while (more) {
            {
                std::unique_lock<std::mutex> guard(lock);
                changed.wait(guard, [&] {
                    return closing || !wantedByAny(i) || buffer.empty() || buffered < bufferPoints;
                });
                if (closing || !wantedByAny(i))
                    break; // no run reads this scan any longer
            }
            Entry entry;
            entry.scan = i;
            const std::size_t notesBefore = source.notes().size();
            const int errorsBefore = source.errorCount();
            more = source.readPoints(i, entry.chunk, maxColumns, channels);
            entry.more = more;
            for (std::size_t n = notesBefore; n < source.notes().size(); ++n)
                entry.notes.push_back(source.notes()[n].text);
            if (source.errorCount() != errorsBefore)
                entry.error = source.lastError();
            {
                const std::lock_guard<std::mutex> guard(lock);
                entry.pending = state.wanted;
                buffered += entry.chunk.points.cols;
                buffer.push_back(std::move(entry));
                trim();
            }
            changed.notify_all();
        }
        if (opened) {
            source.rewindPoints();
            source.closeScan(i);
        }
        {
            const std::lock_guard<std::mutex> guard(lock);
            state.finished = true;
        }
        changed.notify_all();
    }
}

} // namespace orthaven

#pragma once
// One reading of the scans for several layout runs at once. A reader thread reads every
// scan that any run selected, once, in scan order, and each run reads the chunks through a
// ScanSource view of its own, exactly as it would read the scans alone: same chunks, same
// order, the same names, poses, notes and errors. The chunks are shared between the views
// (a cv::Mat counts its references; no run changes a chunk it reads) and kept in a buffer
// of bounded points until every run that reads the scan has taken them, so the slowest run
// sets the pace and the memory stays bounded.
//
// A run that leaves a scan (closes or rewinds it, or opens a later one), or that ends
// (leave), holds no chunk of it any more; a scan no run reads any longer is not read on.
// So a stopped or failing run never holds up the others, and a scan that cannot be read
// fails only the runs that read it. The views answer the listing's questions (names,
// poses, positions, bounds, point counts, first points) from what was asked of the source
// before the reading began: the source is the reader thread's alone from then on.

#include "scan/ScanSource.h"

#include <QBitArray>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orthaven {

class SharedScans
{
public:
    // source: listed (fetchFiles done), not used by anyone else until this object is gone.
    // selections: per run, the scans it may read; channels: what any run reads beside the
    // points (each view hands out only what its run asks for); bufferPoints: the points the
    // reader may hold ahead of the slowest run (at least one chunk is held).
    SharedScans(ScanSource& source, const std::vector<QBitArray>& selections,
                PointChannels channels, int maxColumns, std::int64_t bufferPoints);
    // Ends the reader thread (after it has closed its scan).
    ~SharedScans();
    SharedScans(const SharedScans&) = delete;
    SharedScans& operator=(const SharedScans&) = delete;

    // The source run k reads. Valid while this object lives.
    ScanSource& view(int k);
    // Run k reads nothing more.
    void leave(int k);

private:
    struct Listing;
    class View;
    struct Entry
    {
        int scan = -1;
        ScanChunk chunk;
        bool more = false;
        std::string error;              // the reader's error: the runs reading it fail
        std::vector<std::string> notes; // damage the reader noted while reading it
        std::vector<bool> pending;      // the runs that have yet to take it
    };
    struct ScanState
    {
        std::vector<bool> wanted; // per run: still to be read for it
        bool openKnown = false;   // the reader has tried to open it
        bool opened = false;
        std::string openError;
        bool finished = false; // every chunk of it is in the buffer (or it was given up)
    };

    void readAll();
    bool wantedByAny(int scan) const; // under lock
    void drop(int k, int scan);       // under lock: run k no longer reads scan
    void trim();                      // under lock: frees the taken chunks at the front
    // For the views: under lock.
    bool open(int k, int scan, std::string& error);
    // The next chunk of scan for run k; false when there is none.
    bool next(int k, int scan, Entry& entry);

    ScanSource& source;
    const PointChannels channels;
    const int maxColumns;
    const std::int64_t bufferPoints;
    std::vector<std::unique_ptr<View>> views;

    std::mutex lock;
    std::condition_variable changed;
    std::vector<ScanState> scans;
    std::vector<int> passed; // per run: the scans below it are left
    std::deque<Entry> buffer;
    std::int64_t buffered = 0; // points in the buffer
    bool closing = false;
    std::thread reader;
};

} // namespace orthaven

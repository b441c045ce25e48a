#pragma once
// The partial raw tiles of a layout that several processes (shards) compute together:
// which scans each shard draws, the folder a shard leaves behind (its raw tile files and a
// manifest that says of what they are), and what a merge checks before it adds them up.
//
// A shard writes into "<partials>/.shard-<I>-of-<N>.partial" under the lock
// ".shard-<I>-of-<N>.lock" and renames it to "shard-<I>-of-<N>" once its manifest is
// written whole, so a folder of that name is always a complete shard. The manifest is text,
// one "Key<TAB>value…" line each: the format and the program's version, the shard, the job's
// options, every input file (name, size, time, content key), every scan (name, pose,
// whether it has a position, the reader's notes), the selection, the shard's share of it
// and the scans it drew, the layer's counts and value range, the tile range, and per raw
// tile file its store, tile, strip, size and SHA-256.

#include "engine/TileRange.h"
#include "layout/LayoutJob.h"

#include <QBitArray>
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include <cstdint>
#include <memory>
#include <vector>

namespace orthaven {

class ScanSource;

// The shard (0 … count - 1) that draws each selected scan (-1 for the others): the scans
// weighed by their points, heaviest first, each to the shard with the fewest points so far
// (ties: the lower scan number, the lower shard). weights: one per scan, below 0 when not
// known (such a scan weighs the mean of the known ones, or 1).
std::vector<int> shardShares(const std::vector<std::int64_t>& weights, const QBitArray& selected,
                             int count);

// Adds the sums of part to those of into, both raw tile strips of cells of cellBytes.
void addRawSums(cv::Mat& into, const cv::Mat& part, int cellBytes);
// The largest sum of a raw tile strip of 8-byte cells.
std::int64_t largestRawSum(const cv::Mat& strip);

// The program's version as a manifest records it ("1.1.0"); a merge takes only its own.
QString partialsProgramVersion();

// The bits as "0110…", and back (false for any other text).
QString bitText(const QBitArray& bits);
bool bitsOf(const QString& text, QBitArray& bits);

struct PartialScan
{
    QString name;
    cv::Mat pose; // 4 × 4 CV_64F; empty when the reader gave none
    bool hasPosition = true;
    QStringList notes; // what the reader noted about the scan's data
};

struct PartialTile
{
    int store = 0; // 0: density, k: the layer's store k - 1
    int U = 0;
    int V = 0;
    int strip = 0;
    qint64 bytes = 0;
    QByteArray sha256; // hex
    QString file;      // name in the shard's folder
};

struct PartialManifest
{
    static constexpr int format = 1;

    QString program; // the version of the program that wrote it
    int index = 0;   // 1 … count
    int count = 0;
    QStringList jobLines;  // the options, one "name<TAB>value" each: the layout's identity
    QStringList fileLines; // one "name<TAB>size<TAB>time<TAB>key" per input file
    std::vector<PartialScan> scans;
    QBitArray selected;    // the job's selection
    QBitArray share;       // the scans this shard was to draw
    QBitArray used;        // the scans it drew (its share without the ones it could not read)
    int layerSelected = 0; // scans of its share looked at for the layer's values
    int layerWithout = 0;  // of them, the ones without
    float layerLow = 1.0f; // the layer's value range (low > high: none)
    float layerHigh = 0.0f;
    TileRange range;
    int tilePixels = 0;
    int stripRows = 0;
    std::vector<PartialTile> tiles;
    QString folder; // where it lies (set on reading)

    QByteArray text() const;
    // False, with the reason in error, for a text that is no complete manifest.
    bool parse(const QByteArray& bytes, QString& error);
};

// The options of a job that decide its layout, as manifest lines, and the job back from
// them (threads and memory are the merging run's own).
QStringList jobLines(const LayoutJob& job);
bool jobFromLines(const QStringList& lines, LayoutJob& job);

// One line per input file: its name (without the folder), size, modification time (ms
// since 1970, UTC) and a content key (SHA-256 of its size and first and last MiB). False,
// with the file in error, when a file cannot be read.
bool inputFileLines(const QStringList& files, QStringList& lines, QString& error);

// The shard folder's name "shard-<I>-of-<N>".
QString shardFolderName(int index, int count);

// Every shard of a merge: read from the folders (partials folders holding shard folders, or
// shard folders themselves) and checked to be complete (shards 1 to N, each once), of one
// program, one set of options and one set of scan files, sharing the scans out whole.
struct PartialSet
{
    std::vector<PartialManifest> shards; // ordered by index
    LayoutJob job;                       // the layout they are of
    QBitArray used;                      // the scans drawn by any shard

    // False, with a sentence in error, when the shards cannot give the layout.
    bool read(const QStringList& folders, QString& error);
    // A scan source that knows the scans (names, poses, positions, notes) but holds no
    // points: what the layout's log and overview pictures take from the scans.
    std::unique_ptr<ScanSource> listedScans() const;
};

} // namespace orthaven

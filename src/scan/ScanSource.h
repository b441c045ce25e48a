#pragma once
// The one reader interface through which the rest of the program sees the laser scans
// of a job. Scans are numbered 0 … scanCount() - 1 in discovery order; the job's scan
// selection and the engine use that numbering.
//
// Data crossing the interface (all cv::Mat of CV_64F, one channel, continuous):
//  - point chunk: 4 × N, column j = (x, y, z, 1) of one point in the scanner's own frame,
//    metres, in the order the source stores them (points at the origin included);
//  - placeholder chunk: fewer than two columns; it carries no points and ends a scan;
//  - pose: 4 × 4, column-vector convention, maps scanner to project coordinates.
//
// Every public operation is a door over one private step that a reader implements. No
// exception leaves a door: whatever a reader or a vendor library throws is caught here,
// printed as an error line ("ScanSource::<operation> failed: <what>") and answered as a
// failed call; errorCount() and lastError() tell a caller that it happened. The rules of
// chunked reading live here too, once for every reader:
//  - a chunk of fewer than two points ends the scan: it is handed out as the placeholder
//    with false, and so is every further read of that scan until openScan or rewindPoints;
//  - a piece of fewer than two points that the reader delivers while more follow is never
//    handed out on its own (the engine would end the scan there): the read goes on and
//    joins it to the points after it;
//  - a lone last point is not lost: when the reader says one point is left after a chunk
//    (pointsLeft), that point is read at once and the last two points go out together.

#include <QStringList>

#include <opencv2/core.hpp>

#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orthaven {

class GridScanSource;

// Per-point values that a read delivers beside the coordinates when asked for. Readers
// skip them otherwise, so reading coordinates alone costs nothing extra.
struct PointChannels
{
    bool intensity = false;
    bool colour = false;
};

// A chunk of points with its optional channels; every matrix has one column per point.
struct ScanChunk
{
    cv::Mat points;    // 4 × N, CV_64F: (x, y, z, 1)
    cv::Mat intensity; // 1 × N, CV_32F, as the file stores it; empty when not asked for or
                       // when the scan has none (a point without one holds NaN)
    cv::Mat colour;    // 3 × N, CV_8U: rows red, green, blue; empty likewise (0 0 0 when a
                       // point has none)
};

// Damaged, truncated or skipped data a reader met in a scan.
struct ScanNote
{
    ScanNote(int scanIndex = -1, std::string line = {}, const char* englishFormat = nullptr,
             std::vector<std::string> values = {})
        : scan(scanIndex), text(std::move(line)), format(englishFormat),
          arguments(std::move(values))
    {
    }

    int scan = -1;
    std::string text; // one English line, as printed
    // When set, text is format with %1, %2, … replaced by the arguments in order, and a
    // front end may show format translated in the context "ScanNote" instead.
    const char* format = nullptr;
    std::vector<std::string> arguments;
    bool operator==(const ScanNote& other) const
    {
        return scan == other.scan && text == other.text;
    }
};

class ScanSource
{
public:
    // No reader delivers more points than this in one call.
    static constexpr int maxChunkPoints = 1000000;

    ScanSource() = default;
    virtual ~ScanSource();
    ScanSource(const ScanSource&) = delete;
    ScanSource& operator=(const ScanSource&) = delete;

    // Finds the scans of the given input files. Called once, before anything else; it also
    // forgets the notes of an earlier listing. False when nothing could be listed.
    bool fetchFiles(const QStringList& files);
    int scanCount() const;
    // Replaces names with one display name per scan, in scan order. False (and no names)
    // when the reader failed.
    bool scanNames(QStringList& names) const;
    // Prepares scan i for reading from its first point; at most one scan is open (the FARO
    // library keeps several loaded).
    bool openScan(int i);
    bool closeScan(int i);
    bool isScanOpen(int i) const;
    // The next read of the open scan starts again at its first point.
    void rewindPoints();
    bool scanDimensions(int i, int& rows, int& columns);
    // Next chunk of scan i. False when no further call can deliver points; true does not
    // promise that the next call delivers any.
    bool readPoints(int i, cv::Mat& chunk, int maxColumns);
    // The same with the channels asked for, where the scan has them.
    bool readPoints(int i, ScanChunk& chunk, int maxColumns, PointChannels channels);
    // False when the reader has no pose for scan i (the output is then left alone) or failed.
    bool scanPose(int i, cv::Mat& pose) const;
    // rotation (3 × 3) and translation (3 × 1) of the pose; allocated parts are written
    // in place.
    bool scanPoseParts(int i, cv::Mat& rotation, cv::Mat& translation) const;
    // Whether scan i was taken from a known place, its pose's translation being the
    // scanner's position. A scan without one (a LAS file records no scanner) has no scan
    // radius, weighs its points alike, takes its extent from scanBounds and gets no marker
    // on the overview pictures. True unless the reader says otherwise (or fails).
    bool hasPosition(int i) const;
    // The box the points of scan i lie in, in the scan's own frame (before its pose): the
    // lowest and the highest x, y and z. False when the reader does not know it (or fails).
    bool scanBounds(int i, cv::Vec3d& low, cv::Vec3d& high) const;

    // The files the scans were found in: those given to fetchFiles, or the scan files an
    // index or a project names.
    const QStringList& scanFiles() const { return fileList; }

    // The polar, depth-image and point-list calls of a reader of gridded scans; null for
    // readers without them.
    GridScanSource* grid();
    const GridScanSource* grid() const;

    // Damage met since the last fetchFiles, each (scan, text) once, in the order met.
    const std::vector<ScanNote>& notes() const { return scanNotes; }
    // The files of the last fetchFiles in which no scan was found (empty, cut off before
    // their first scan, not of the format), as they were named; readers of one project
    // file leave it empty.
    const QStringList& filesWithoutScans() const { return emptyFiles; }
    // How many threads a reader may use to read a scan (1: the calling thread alone). A
    // hint that readers of text files take; what a read delivers never depends on it.
    void setReadThreads(int threads) { readThreadCount = threads > 1 ? threads : 1; }
    int readThreads() const { return readThreadCount; }

    // Errors caught at the doors since the reader was made, and the text of the latest.
    int errorCount() const { return errors; }
    const std::string& lastError() const { return lastErrorText; }

    // The 4 × 1 chunk handed out when there is nothing to deliver.
    static cv::Mat placeholderChunk();
    // Rotation and translation of a 4 × 4 pose, as scanPoseParts delivers them.
    static void splitPose(const cv::Mat& pose, cv::Mat& rotation, cv::Mat& translation);

protected:
    // What one step of reading gave.
    enum class ReadStep
    {
        Chunk,     // points (any number, also none); more may follow
        LastChunk, // the scan's last points (any number): the read answers false
        End,       // nothing more: the placeholder and false
        Error,     // the read failed (see readError)
    };
    struct ReadRequest
    {
        int scan = 0;
        int maxColumns = 0; // the caller's hint
        PointChannels channels;
    };

    // Records damage in a scan and prints the text as a warning; a note already recorded
    // is printed again but kept once.
    void noteDamage(int scan, std::string text);
    // The same for a note the front ends can translate: format is the English text with
    // %1, %2, … for the arguments, marked with QT_TRANSLATE_NOOP("ScanNote", …).
    void noteDamage(int scan, const char* format, std::initializer_list<std::string> arguments);
    // Records a file of the listing that gave no scan.
    void noteFileWithoutScans(const QString& path) { emptyFiles.append(path); }
    // For a readNext that meets an error without throwing: records and prints it like a
    // caught exception and returns ReadStep::Error.
    ReadStep readError(int scan, std::string_view text);
    // Runs step, catching whatever it throws (printed and counted as an error of
    // `operation` for `scan`, -1 for none). False when it threw.
    template <class Step> bool guard(const char* operation, int scan, Step&& step) const;
    // Forgets what the chunk rules hold back (a tail, the end of a scan); readers call it
    // when they move the open scan's position themselves.
    void resetReading();

    // The pose of a reader that keeps one per scan: false for an index outside the list.
    static bool storedPose(const std::vector<cv::Mat>& poses, int i, cv::Mat& pose);

    QStringList fileList;
    int numScans = 0;
    bool rewindPending = true; // set by rewindPoints; the next read restarts the scan

private:
    // The steps behind the doors, one per door (see there). They may throw.
    virtual bool findScans(const QStringList& files) = 0;
    virtual void nameScans(QStringList& names) const = 0;
    virtual bool poseOf(int i, cv::Mat& pose) const = 0;
    virtual bool open(int i) = 0;
    virtual bool close(int i) = 0;
    virtual bool isOpen(int i) const = 0;
    // Default: 0 × 0 and false.
    virtual bool dimensionsOf(int i, int& rows, int& columns);
    // Defaults: true; false (no bounds).
    virtual bool positionKnown(int i) const;
    virtual bool boundsOf(int i, cv::Vec3d& low, cv::Vec3d& high) const;
    // The next points of scan i: at most maxChunkPoints (and the reader's own limits), only
    // real points (a lone point is one column), with the channels asked for when the scan
    // has them. Every call moves on through the scan.
    virtual ReadStep readNext(const ReadRequest& request, ScanChunk& piece) = 0;
    // After a readNext of scan i: how many points the scan still holds, or -1 when the
    // reader cannot tell. Only 1 matters (see the rules above). Default -1.
    virtual qint64 pointsLeft(int i) const;
    // After rewindPoints has set rewindPending. Default: nothing.
    virtual void rewound();

    void recordError(const char* operation, int scan, std::string_view what) const;
    bool readChunk(int i, ScanChunk& chunk, int maxColumns, PointChannels channels);

    struct ReadState
    {
        int scan = -1;      // the scan the state belongs to
        bool ended = false; // the scan ended: reads give the placeholder
        ScanChunk tail;     // points held back for the next call (none, or at least two)
        bool tailMore = true;
    };
    ReadState reading;
    int readThreadCount = 1;
    std::vector<ScanNote> scanNotes;
    QStringList emptyFiles;
    mutable int errors = 0;
    mutable std::string lastErrorText;
};

template <class Step> bool ScanSource::guard(const char* operation, int scan, Step&& step) const
{
    try {
        step();
        return true;
    } catch (const std::exception& e) {
        recordError(operation, scan, e.what());
    } catch (...) {
        recordError(operation, scan, "an unknown error");
    }
    return false;
}

// The calls of readers whose scans are grids of columns read one after another: polar
// values, point lists and the depth image. Reached through ScanSource::grid().
class GridScanSource : public ScanSource
{
public:
    // 3 × N: range, then two angles (radians), one column per point; `columns` scan
    // columns from where the last read stopped.
    bool readPolarDataFromScan(int i, cv::Mat& polar, int columns);
    bool readPointList(int i, std::vector<cv::Mat>& list, int maxColumns);
    bool readPolarPointList(int i, std::vector<cv::Mat>& list, int maxColumns);
    // rows × columns ranges of scan i: element (j, c) is the range of row j of column c.
    bool computeScanDepthImage(int i, cv::Mat& depth);
    // A quick look at scan i: from where the last read stopped, the points of one scan
    // column, then `stride` - 1 columns passed over (without parsing them where the format
    // allows it), and so on, until maxColumns columns were delivered or the scan ends.
    // points is 4 × N (x, y, z, 1) and may hold any number of points, also none (a column
    // without returns); the chunk rules of readPoints do not apply. False when the scan has
    // no column left.
    bool readColumnSample(int i, cv::Mat& points, int stride, int maxColumns);

private:
    virtual bool polarColumns(int i, cv::Mat& polar, int columns) = 0;
    // Default: whole columns through readPoints (for readers that honour its column hint),
    // every column read.
    virtual bool sampleColumns(int i, cv::Mat& points, int stride, int maxColumns);
    virtual bool pointList(int i, std::vector<cv::Mat>& list, int maxColumns) = 0;
    // Default: false, the list left alone.
    virtual bool polarPointList(int i, std::vector<cv::Mat>& list, int maxColumns);
};

} // namespace orthaven

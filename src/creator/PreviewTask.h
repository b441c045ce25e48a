#pragma once
// The site preview behind the Layout Creator: one pass at a time over the chosen scans, on a
// thread of its own, through the reader the layout task listed them with. A newer request
// stops the running pass; the previews of the last few scan sets are kept until one of
// their files changes. The reader must not be used elsewhere while a pass runs: callers
// stopAndWait() before they list or lay out.

#include "creator/ScanDamage.h"
#include "engine/StatusReporter.h"
#include "preview/SitePreview.h"

#include <QBitArray>
#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <list>
#include <memory>
#include <optional>
#include <vector>

namespace orthaven {

class ScanSource;

class PreviewTask : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        ScanSource* source = nullptr; // listed already; borrowed while a pass runs
        QBitArray scans;
        double scannerDomain = 0.0;
    };

    static constexpr std::size_t cachedPreviews = 4;

    explicit PreviewTask(QObject* parent = nullptr);
    ~PreviewTask() override; // stopAndWait()

    // The preview of the request: at once when it is kept and its files are unchanged
    // (ready() is emitted before this returns), else after a pass.
    void request(const Request& wanted);
    // Ends the running pass early and forgets a waiting request; stopped() follows.
    void requestStop();
    // requestStop(), then waits for the pass: the reader is the caller's again.
    void stopAndWait();
    bool isRunning() const { return pass != nullptr; }

    // The running pass's progress (statusText, progressDone, progressTotal).
    StatusSnapshot progress() const { return status.snapshot(); }
    // The latest preview, with the chosen scans whose data was damaged or that were left
    // out (as a layout reports them); null before the first one.
    std::shared_ptr<const SitePreview> current() const { return shown; }
    const std::vector<DamagedScan>& damaged() const { return shownDamage; }
    // The threads the passes may use besides their own (tests make it 1).
    void setReadThreads(int threads) { readThreads = threads; }

signals:
    void ready();   // current() is the preview of the latest request
    void stopped(); // a pass ended without a preview (stopped, or the reader failed)

private:
    struct FileStamp
    {
        QString path;
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const FileStamp&) const = default;
    };
    struct Key
    {
        std::vector<FileStamp> files;
        QBitArray scans;
        double scannerDomain = 0.0;
        bool operator==(const Key&) const = default;
    };
    struct Kept
    {
        Key key;
        std::shared_ptr<const SitePreview> preview;
        std::vector<DamagedScan> damaged;
    };

    static Key keyOf(const Request& r);
    void start(const Request& wanted);
    void passEnded();

    StatusReporter status;
    std::unique_ptr<QThread> pass;
    Request running;
    Key runningKey;
    std::shared_ptr<SitePreview> result; // written by the pass
    std::optional<Request> waiting;
    std::list<Kept> kept; // the latest first
    std::shared_ptr<const SitePreview> shown;
    std::vector<DamagedScan> shownDamage;
    int readThreads = 0; // 0: one per core
    // Counts the passes started, so that the end of a pass waited for already (and
    // reported later by the event loop) is not taken for the end of the next one.
    unsigned generation = 0;
};

} // namespace orthaven

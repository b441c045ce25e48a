#include "creator/PreviewTask.h"

#include "scan/ScanSource.h"

#include <QFileInfo>

namespace orthaven {

PreviewTask::PreviewTask(QObject* parent) : QObject(parent) {}

PreviewTask::~PreviewTask()
{
    stopAndWait();
}

PreviewTask::Key PreviewTask::keyOf(const Request& r)
{
    Key key;
    key.scans = r.scans;
    key.scannerDomain = r.scannerDomain;
    if (r.source) {
        for (const QString& path : r.source->scanFiles()) {
            const QFileInfo info(path);
            key.files.push_back(
                {info.absoluteFilePath(), info.exists() ? info.size() : -1, info.lastModified()});
        }
    }
    return key;
}

void PreviewTask::request(const Request& wanted)
{
    if (!wanted.source)
        return;
    if (pass) {
        waiting = wanted;
        status.requestStop();
        return;
    }
    const Key key = keyOf(wanted);
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        if (it->key == key) {
            kept.splice(kept.begin(), kept, it);
            shown = kept.front().preview;
            shownDamage = kept.front().damaged;
            emit ready();
            return;
        }
    }
    start(wanted);
}

void PreviewTask::start(const Request& wanted)
{
    running = wanted;
    runningKey = keyOf(wanted);
    result.reset();
    status.stopRequested = false;
    PreviewOptions options;
    options.scans = wanted.scans;
    options.scannerDomain = wanted.scannerDomain;
    options.threads = readThreads > 0 ? readThreads : QThread::idealThreadCount();
    ScanSource* source = wanted.source;
    pass.reset(QThread::create(
        [this, source, options] { result = makeSitePreview(*source, options, status); }));
    connect(
        pass.get(), &QThread::finished, this,
        [this, g = ++generation] {
            if (g == generation)
                passEnded();
        },
        Qt::QueuedConnection);
    pass->start(QThread::LowPriority);
}

void PreviewTask::passEnded()
{
    pass->wait();
    pass.reset();
    if (result) {
        Kept entry{runningKey, result, damagedScans(*running.source, running.scans, result->used)};
        kept.push_front(std::move(entry));
        if (kept.size() > cachedPreviews)
            kept.pop_back();
        result.reset();
    }
    if (waiting) {
        const Request next = *waiting;
        waiting.reset();
        request(next);
        return;
    }
    if (!kept.empty() && kept.front().key == runningKey && !status.interrupted && !status.failed) {
        shown = kept.front().preview;
        shownDamage = kept.front().damaged;
        emit ready();
    } else {
        emit stopped();
    }
}

void PreviewTask::requestStop()
{
    waiting.reset();
    if (pass)
        status.requestStop();
}

void PreviewTask::stopAndWait()
{
    requestStop();
    if (!pass)
        return;
    pass->wait();
    pass.reset();
    result.reset();
    ++generation;
}

} // namespace orthaven

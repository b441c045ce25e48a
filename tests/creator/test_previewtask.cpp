// The preview task behind the Layout Creator: a stopped pass leaves no thread behind and the
// reader closed and ready for the next pass; a kept preview comes back at once, until one
// of its files changes.

#include "creator/PreviewTask.h"
#include "support/FakeScanSource.h"
#include "support/TempAppData.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <future>

using namespace orthaven;
using namespace orthaven::test;

namespace {

// Only a guard against a hang; nothing waits for a guessed time.
constexpr int guardMilliseconds = 120000;

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

// A thread is gone from the list a moment after it was joined: waited for, not guessed.
bool threadsBackTo(int count)
{
    return QTest::qWaitFor([count] { return threadCount() == count; }, guardMilliseconds);
}

std::vector<cv::Vec3d> floorPoints(int count)
{
    std::vector<cv::Vec3d> points;
    for (int k = 0; k < count; ++k)
        points.emplace_back(1.0 + (k % 100) * 0.05, 1.0 + (k / 100) * 0.05, -1.5);
    return points;
}

} // namespace

TEST(PreviewTask, AStoppedPassLeavesNoThreadAndTheReaderReadyForTheNext)
{
    // Two scans of ten chunks; the pass is held at its second chunk until it was stopped.
    FakeScanSource source({{"a", FakeScanSource::translation(0, 0, 1.5), floorPoints(10000)},
                           {"b", FakeScanSource::translation(5, 0, 1.5), floorPoints(10000)}},
                          1000);
    ASSERT_TRUE(source.fetchFiles({QStringLiteral("site")}));
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> held{false};
    source.onChunk = [&](int, int chunk) {
        if (chunk == 1) {
            held = true;
            released.wait();
        }
    };
    const int before = threadCount();
    PreviewTask task;
    task.setReadThreads(2); // the pass and its read-ahead thread
    QSignalSpy stopped(&task, &PreviewTask::stopped);
    QSignalSpy ready(&task, &PreviewTask::ready);
    task.request({&source, QBitArray(2, true), 30.0});
    ASSERT_TRUE(QTest::qWaitFor([&] { return held.load(); }, guardMilliseconds));
    EXPECT_EQ(threadCount(), before + 2);
    task.requestStop();
    release.set_value();
    ASSERT_TRUE(stopped.wait(guardMilliseconds));
    EXPECT_EQ(ready.count(), 0);
    EXPECT_EQ(task.current(), nullptr);
    EXPECT_TRUE(threadsBackTo(before)) << threadCount();
    EXPECT_EQ(source.calls().last(), "close 0") << source.calls().join(' ').toStdString();
    EXPECT_FALSE(source.calls().contains("open 1"));

    // The next pass reads both scans whole.
    source.onChunk = nullptr;
    task.request({&source, QBitArray(2, true), 30.0});
    ASSERT_TRUE(ready.wait(guardMilliseconds));
    ASSERT_NE(task.current(), nullptr);
    EXPECT_EQ(task.current()->points, 20000u);
    EXPECT_TRUE(threadsBackTo(before)) << threadCount();
}

TEST(PreviewTask, AKeptPreviewComesBackAtOnceUntilItsFileChanges)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath(QStringLiteral("a.ptx")), QByteArray("x"));
    FakeScanSource source({{"a", FakeScanSource::translation(0, 0, 1.5), floorPoints(500)}}, 100);
    ASSERT_TRUE(source.fetchFiles({path}));
    PreviewTask task;
    QSignalSpy ready(&task, &PreviewTask::ready);
    const PreviewTask::Request request{&source, QBitArray(1, true), 30.0};
    task.request(request);
    ASSERT_TRUE(ready.wait(guardMilliseconds));
    const std::shared_ptr<const SitePreview> first = task.current();

    task.request(request);
    EXPECT_FALSE(task.isRunning());
    EXPECT_EQ(ready.count(), 2) << "ready before request() returned";
    EXPECT_EQ(task.current(), first);

    // Another radius is another preview; the same file with a new time is read again.
    task.request({&source, QBitArray(1, true), 10.0});
    EXPECT_TRUE(task.isRunning());
    ASSERT_TRUE(ready.wait(guardMilliseconds));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(file.fileTime(QFileDevice::FileModificationTime).addSecs(60),
                                 QFileDevice::FileModificationTime));
    file.close();
    task.request(request);
    EXPECT_TRUE(task.isRunning());
    ASSERT_TRUE(ready.wait(guardMilliseconds));
    EXPECT_NE(task.current(), first);
}

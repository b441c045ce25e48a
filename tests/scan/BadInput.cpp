#include "BadInput.h"

#include "support/CaptureDiagnostics.h"
#include "support/ScanSourceContract.h"
#include "support/TempAppData.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace orthaven::test {

namespace {

QString filePath(const QTemporaryDir& dir, const BadInputFormat& format, const char* name)
{
    return dir.filePath(QString::fromLatin1(name) + QLatin1Char('.') +
                        QLatin1String(format.extension));
}

} // namespace

void expectDefinedOutcomes(const BadInputFormat& format, const std::vector<BadInput>& cases)
{
    for (const BadInput& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = writeFile(filePath(dir, format, "bad"), c.bytes);
        CaptureDiagnostics out;
        const std::unique_ptr<ScanSource> reader = format.createReader();
        EXPECT_TRUE(reader->fetchFiles({path})) << "listing itself never fails";
        ASSERT_EQ(reader->scanCount(), c.scans);
        for (int i = 0; i < c.scans; ++i) {
            const ScanReadout scan = readWholeScan(*reader, i);
            EXPECT_TRUE(scan.opened);
            EXPECT_EQ(scan.points, c.points[std::size_t(i)]) << "scan " << i;
            EXPECT_FALSE(scan.results.back()) << "the last read of scan " << i;
            if (format.maxReadsPerScan > 0) {
                EXPECT_LE(scan.chunkColumns.size(), format.maxReadsPerScan);
            }
            reader->rewindPoints();
            reader->closeScan(i);
        }

        // Damage in a scan is on record as well; other trouble is not a note.
        if (c.noted) {
            ASSERT_EQ(reader->notes().size(), std::size_t(1)) << out.text();
            EXPECT_EQ(reader->notes()[0].scan, 0);
            EXPECT_NE(reader->notes()[0].text.find(c.printed), std::string::npos);
        } else if (format.notesOnlyOfDamage) {
            EXPECT_TRUE(reader->notes().empty()) << reader->notes()[0].text;
        }
        if (!c.printed) {
            EXPECT_TRUE(out.lines().isEmpty()) << out.text();
            continue;
        }
        bool found = false;
        for (const QString& line : out.lines()) {
            found = found || (line.contains(QLatin1String(c.printed)) &&
                              (!format.fileNamedAs || line.contains(format.fileNamedAs(path)) ||
                               line.startsWith(QLatin1String("Scan "))));
        }
        EXPECT_TRUE(found) << "no line with \"" << c.printed << "\" in:\n" << out.text();
    }
}

void expectRandomDamageHandled(const BadInputFormat& format, const RandomDamage& damage)
{
    std::mt19937 random(damage.seed);
    const auto size = std::uint32_t(damage.good.size());
    QTemporaryDir dir;
    CaptureDiagnostics quiet;
    for (int round = 0; round < damage.rounds; ++round) {
        QByteArray bytes = damage.good;
        if (round % 4 == 0) {
            bytes.truncate(qsizetype(random() % size));
        } else {
            const int changes = 1 + int(random() % std::uint32_t(damage.mostChanges));
            for (int k = 0; k < changes; ++k) {
                const qsizetype at = qsizetype(random() % size);
                if (!damage.alphabet.empty()) {
                    bytes[at] = damage.alphabet[random() % damage.alphabet.size()];
                    continue;
                }
                // A random byte, the top byte of a little-endian number, or all ones.
                const int kind = int(random() % 3);
                bytes[at] = kind == 0 ? char(random()) : kind == 1 ? char(0x7F) : char(0xFF);
            }
            if (round % 2 == 1 && damage.afterOddChange)
                damage.afterOddChange(bytes);
        }
        SCOPED_TRACE("round " + std::to_string(round));
        const QString path = writeFile(filePath(dir, format, "damaged"), bytes);
        const std::unique_ptr<ScanSource> reader = format.createReader();
        ASSERT_TRUE(reader->fetchFiles({path}));
        ASSERT_LE(reader->scanCount(), damage.maxScans);
        for (int i = 0; i < reader->scanCount(); ++i) {
            int rows = 0;
            int columns = 0;
            reader->scanDimensions(i, rows, columns);
            EXPECT_LE(qint64(rows) * columns, 8 * qint64(bytes.size()));
            const ScanReadout read = readWholeScan(*reader, i, damage.chunkColumns, 200);
            if (damage.everyScanOpens) {
                ASSERT_TRUE(read.opened) << "scan " << i;
            }
            if (!read.opened)
                continue;
            ASSERT_FALSE(read.results.back()) << "scan " << i << " never ended";
            EXPECT_LE(double(read.points.size()),
                      damage.mostPointsPerByte * double(bytes.size()) + 1.0);
            for (const cv::Vec3d& p : read.points)
                ASSERT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]));
            reader->closeScan(i);
        }
        if (damage.alsoCheck)
            damage.alsoCheck(path, *reader, bytes.size());
    }
}

void expectChangedFileCannotBeOpened(const BadInputFormat& format, const QByteArray& listed,
                                     const std::vector<QByteArray>& laterContents,
                                     const std::function<QString(const QString& path)>& changedLine)
{
    QTemporaryDir dir;
    const QString path = writeFile(filePath(dir, format, "changing"), listed);
    CaptureDiagnostics out;
    const std::unique_ptr<ScanSource> reader = format.createReader();
    reader->fetchFiles({path});
    ASSERT_EQ(reader->scanCount(), 1);

    for (std::size_t k = 0; k <= laterContents.size(); ++k) {
        SCOPED_TRACE(k < laterContents.size() ? "changed " + std::to_string(k) : "removed");
        if (k < laterContents.size())
            writeFile(path, laterContents[k]);
        else
            QFile::remove(path);
        EXPECT_FALSE(reader->openScan(0));
        if (k == 0) {
            EXPECT_TRUE(out.lines().contains(changedLine(path))) << out.text();
        }
        EXPECT_FALSE(reader->isScanOpen(0));
        cv::Mat chunk;
        EXPECT_FALSE(reader->readPoints(0, chunk, 1000));
        EXPECT_EQ(chunk.cols, 1);
        EXPECT_EQ(reader->scanCount(), 1) << "a failed open forgets no scan";
    }
}

} // namespace orthaven::test

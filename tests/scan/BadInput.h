#pragma once
// One bad-input harness for the readers of single files: broken files by name, each with
// its one defined outcome (scans listed, points read, the line printed, the note kept),
// seeded random damage to a good file that must never break a reader, and a file changed
// after it was listed. Each format gives its reader and its cases as table rows.

#include "scan/ScanSource.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orthaven::test {

struct BadInputFormat
{
    const char* extension; // the files are written as <name>.<extension>
    std::function<std::unique_ptr<ScanSource>()> createReader;
    // Readers whose every damage is a note: a case that is not noted leaves no note.
    bool notesOnlyOfDamage = true;
    // When set, the printed line must come from the reader of the file: it contains
    // fileNamedAs(path), or it starts with "Scan ".
    std::function<QString(const QString& path)> fileNamedAs = {};
    std::size_t maxReadsPerScan = 0; // readPoints calls a case's scan may take; 0: any
};

struct BadInput
{
    const char* name;
    QByteArray bytes;
    int scans;                                  // scans listed
    std::vector<std::vector<cv::Vec3d>> points; // what each scan delivers
    const char* printed; // a line that contains this is printed; null: no line at all
    bool noted = false;  // and it is the note of damage in scan 0
};

void expectDefinedOutcomes(const BadInputFormat& format, const std::vector<BadInput>& cases);

// A good file, cut short (every fourth round) or with 1 to mostChanges bytes changed at
// seeded places: listing ends, every read ends, every point is finite, and nothing is
// sized beyond what the file holds.
struct RandomDamage
{
    QByteArray good;
    std::uint32_t seed = 20240607u;
    int rounds = 600;
    int mostChanges = 4;
    std::string alphabet; // what a changed byte becomes; empty: a random byte, 0x7F or 0xFF
    // Applied to the changed bytes of odd rounds (E57 makes its checksums right again, so
    // the damage reaches the XML and the packets).
    std::function<void(QByteArray&)> afterOddChange;
    int maxScans = 1;
    double mostPointsPerByte = 1.0;
    int chunkColumns = 1000;
    bool everyScanOpens = false;
    // More checks of a round, after its scans were read.
    std::function<void(const QString& path, ScanSource& reader, qsizetype size)> alsoCheck;
};

void expectRandomDamageHandled(const BadInputFormat& format, const RandomDamage& damage);

// A file listed with one scan, then replaced by each of laterContents in turn (and at last
// removed): the scan no longer opens, the first time with changedLine among the lines,
// nothing reads, and the listing keeps its scan.
void expectChangedFileCannotBeOpened(
    const BadInputFormat& format, const QByteArray& listed,
    const std::vector<QByteArray>& laterContents,
    const std::function<QString(const QString& path)>& changedLine);

} // namespace orthaven::test

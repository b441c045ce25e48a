#pragma once
// The table of scan formats: one row per format with what the front ends need to know of
// it. The reader for a job is chosen by the lower-cased ending of its first input file;
// the file dialog's filter, the messages that name the formats, the layout task and
// orthaven-layout are all built from the rows, so adding a format is adding a row.

#include "scan/ScanSource.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace orthaven {

struct ScanFormat
{
    const char* name;        // the format in messages: "PTX", "FARO"
    QStringList extensions;  // lower case with the dot: ".ptx"
    const char* filterLabel; // its entry in the file dialog's filter: "PTX(*.ptx)"
    std::unique_ptr<ScanSource> (*create)();
    // Why a path of this format cannot be read at all (an English text that the window
    // translates in the "Layout" context), or null when it can be. Null: every path can.
    const char* (*refusePath)(const QString& path);
    // Printed on standard output when the layout task makes the reader, or null.
    const char* createLine;

    bool matches(const QString& path) const;
};

// The rows, in the order their extensions are tried and listed.
const std::vector<ScanFormat>& scanFormats();

// The row whose extension ends the lower-cased path, or null.
const ScanFormat* scanFormatFor(const QString& path);

// Null when no reader handles the file's extension.
std::unique_ptr<ScanSource> createScanSource(const QString& firstInputPath);
// For tests of the front ends (GUI thread): the next createScanSource hands out this reader,
// whatever the path; the calls after it use the table again.
void setNextScanSource(std::unique_ptr<ScanSource> reader);

// The extensions with a reader, lower case with the dot (".ptx", …), in table order.
QStringList supportedScanExtensions();

// The file dialog's filter: every extension at once under allSupported (a window passes
// its translation), then one entry per format.
QString scanFileFilter(const QString& allSupported = QStringLiteral("All supported"));

// The names of the formats, in table order.
QStringList scanFormatNames();

// Why the path cannot be read by the reader of its format (see ScanFormat::refusePath),
// or null.
const char* scanPathRefusal(const QString& path);

} // namespace orthaven

#pragma once
// Creates the reader for a job from the lower-cased extension of its first input file.

#include "scan/ScanSource.h"

#include <QString>

#include <memory>

namespace orthaven {

// Null when no reader handles the file's extension.
std::unique_ptr<ScanSource> createScanSource(const QString& firstInputPath);

// The extensions with a reader, lower case with the dot (".ptx", …), in table order.
QStringList supportedScanExtensions();

} // namespace orthaven

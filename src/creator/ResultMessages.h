#pragma once
// The texts a front end shows when a layout run has ended, in one place for the Layout
// Creator dock and the command-line runner.

#include "creator/OutputFolder.h"
#include "creator/ScanDamage.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

namespace orthaven {

// "Computation interrupted!" for a run the engine left early because of a stop request
// (its interrupted flag, whatever the code), the message of errorCode for a failed run,
// "Computation successful!" otherwise. Empty for a failed run whose code has no message.
// Translated in the context "Layout" when a translator is installed.
QString layoutResultMessage(bool interrupted, bool failed, std::int32_t errorCode);

// The warning shown after a successful run whose overview pictures (paths, native
// separators) could not all be written: the layout itself is complete.
QString overviewPicturesWarning(const QStringList& paths);

// The message of one ResultCode; empty for NoError and for codes without a message.
QString resultCodeMessage(std::int32_t errorCode);

// The message of a failed run of the given tile geometry: the tile-size limit when tiles
// of that size cannot be made (the engine reports that as NotEnoughMemory), else the
// message of the code, followed by the file or folder that failed and the cause when the
// engine named them ("…/plan_0_1.png: No space left on device").
QString layoutFailureMessage(std::int32_t errorCode, double resolution, double tileSize,
                             const QString& failurePath = {}, const QString& failureCause = {});

// After a successful run: "Computation successful!", then how many tiles were written and
// into which folder (native separators).
QString layoutSuccessMessage(const QString& folder, int tiles);

// After a run whose layout was written while some checked scans were damaged or left out:
// which scans and what happened, then the tiles and the folder as in the success message.
QString damagedScansMessage(const std::vector<DamagedScan>& damaged, const QString& folder,
                            int tiles);

// After a run that read none of its checked scans: which scans, and why each could not be
// read (as the reader noted it) or that it was left out.
QString noScansReadMessage(const std::vector<DamagedScan>& damaged);

// After a listing: the input files that gave no scan (native separators).
QString filesWithoutScansMessage(const QStringList& files);

// Why the output folder of a job cannot be used (empty when it is Ready).
QString outputFolderMessage(const OutputFolder& folder);

// The engine's status text as the window shows it: translated in the context "Layout"
// when it is one of the engine's known texts ("Loading Scan 2 of 8", "Write Images", …),
// otherwise as the engine gave it. The engine itself keeps English texts for the console
// and the command line.
QString displayedStatusText(const std::string& engineText);

} // namespace orthaven

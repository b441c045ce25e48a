#pragma once
// A layout job as a line of a job file (docs/orthaven-layout.md) and back. The command line
// and the batch list of the window share it: the batch list keeps its jobs in a job file
// that orthaven-layout --jobs runs as it is.

#include "cli/CommandLine.h"
#include "layout/LayoutJob.h"
#include "settings/ConfigSettings.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace orthaven {

// The settings of job that options give, the others from config: view, frame, image type,
// print scale, world files, layer, geometry, colour inversion, the overview pictures'
// settings and the machine's share. A facade's planes are set from the options or its
// defaults; other planes only where the options give them (the runner works out the rest
// from the scans). Input files, output file and scans are the caller's.
void applyJobOptions(const CommandLine& options, const ConfigSettings& config, LayoutJob& job);

// The arguments that make job again with every setting written out (numbers in the C
// notation, as short as reads back exactly), the scans by number unless every one is
// checked, and the input files last, after "--".
QStringList jobArguments(const LayoutJob& job);

// jobArguments as one line of a job file, with arguments quoted where they need it.
QString jobLine(const LayoutJob& job);

// The batch list as a job file: a comment line, then one line per job. False when the
// file could not be written whole (the previous one then stays).
bool writeBatchList(const QList<LayoutJob>& jobs, const QString& path);

// The jobs of a job file as the batch list keeps them: each line must name both clipping
// planes (or a facade), since no scan is read here. Lines that cannot give a job are
// skipped and named in problems ("line N: why"). A missing file gives no job and no problem.
QList<LayoutJob> readBatchList(const QString& path, const ConfigSettings& config,
                               QStringList& problems);

} // namespace orthaven

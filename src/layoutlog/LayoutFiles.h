#pragma once
// The files a layout consists of besides its log, as its log names them: the output
// tiles, the overview thumbnail and the scan-position sheet drawn from the thumbnail. All
// of them lie beside the log.

#include "layoutlog/LayoutLogInfo.h"

#include <QString>
#include <QStringList>

namespace orthaven {

// The file names (without folder) of the layout's tiles, their world files, its thumbnail
// and its sheet, in that order and each once. A name that would reach out of the log's folder (a
// separator,
// "." or "..") is left out: such a file is never the layout's.
QStringList layoutFileNames(const LayoutLogInfo& log);

// The world file of a tile image, by the usual rule: the first and last letter of the
// image's suffix and a "w" (site_0_1.png gives site_0_1.pgw, .jpg .jgw, .tif .tfw).
QString worldFileName(const QString& imageName);

// The scan-position sheet of a thumbnail: plan_overview.png gives
// plan_overview_scan_positions.png (the name up to its first dot, then the suffix after
// its last dot).
QString scanPositionSheetName(const QString& thumbnailName);

// True for a plain file name: not empty, no folder separator, not "." or "..".
bool isPlainFileName(const QString& name);

// True when name is one the layout named base gives its own files: its log base.log, a
// tile base_<a>_<b>.<type> (a and b whole numbers, type an image type of the program) or
// that tile's world file, its thumbnail base_overview.<type> and the scan-position sheet
// base_overview_scan_positions.<type>. Only such files may go when the layout is
// replaced, whatever a log names.
bool isLayoutFileName(const QString& base, const QString& name);

} // namespace orthaven

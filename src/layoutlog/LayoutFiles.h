#pragma once
// The files a layout consists of besides its log, as its log names them: the output
// tiles with their world files (and .prj files under a coordinate system), the overview
// thumbnail, the scan-position sheet drawn from the thumbnail, and the drawing, mosaic and
// print it hands on. All of them lie beside the log.

#include "layoutlog/LayoutLogInfo.h"

#include <QString>
#include <QStringList>

namespace orthaven {

// The file names (without folder) of the layout's tiles, their world files, their .prj
// files (when the log names a coordinate system), its thumbnail, its sheet, its drawing,
// mosaic and print (when the log names them), in that order and each once. A name that
// would reach out of the log's folder (a separator, "." or "..") is left out: such a file
// is never the layout's.
QStringList layoutFileNames(const LayoutLogInfo& log);

// The world file of a tile image, by the usual rule: the first and last letter of the
// image's suffix and a "w" (site_0_1.png gives site_0_1.pgw, .jpg .jgw, .tif .tfw).
QString worldFileName(const QString& imageName);

// The coordinate system file beside a tile: site_0_1.png gives site_0_1.prj.
QString projectionFileName(const QString& imageName);

// The files a layout hands on beside its log: base.dxf (the drawing), base.vrt (the
// mosaic), base.pdf (the print).
QString drawingFileName(const QString& base);
QString mosaicFileName(const QString& base);
QString printFileName(const QString& base);

// The scan-position sheet of a thumbnail: plan_overview.png gives
// plan_overview_scan_positions.png (the name up to its first dot, then the suffix after
// its last dot).
QString scanPositionSheetName(const QString& thumbnailName);

// True for a plain file name: not empty, no folder separator, not "." or "..".
bool isPlainFileName(const QString& name);

// True when name is one the layout named base gives its own files: its log base.log, a
// tile base_<a>_<b>.<type> (a and b whole numbers, type an image type of the program),
// that tile's world file or base_<a>_<b>.prj, its thumbnail base_overview.<type>, the
// scan-position sheet base_overview_scan_positions.<type>, and base.dxf, base.vrt and
// base.pdf. Only such files may go when the layout is replaced, whatever a log names.
bool isLayoutFileName(const QString& base, const QString& name);

} // namespace orthaven

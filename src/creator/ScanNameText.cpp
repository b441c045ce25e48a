#include "creator/ScanNameText.h"

#include <QFontMetrics>

#include <algorithm>

namespace orthaven {

namespace {

qsizetype fileNameStart(const QString& name)
{
    return std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\'))) + 1;
}

} // namespace

QString shortScanName(const QString& name)
{
    return name.mid(fileNameStart(name));
}

QString elideScanName(const QString& name, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(name) <= width)
        return name;
    const QString ellipsis(QChar(0x2026));
    const qsizetype start = fileNameStart(name);
    // The file name with the separator before it, and as much of the folders' start as fits.
    const QString tail = name.mid(std::max<qsizetype>(0, start - 1));
    const int room = width - metrics.horizontalAdvance(ellipsis + tail);
    if (start > 0 && room >= 0) {
        qsizetype keep = 0;
        while (keep < start - 1 && metrics.horizontalAdvance(name.left(keep + 1)) <= room)
            ++keep;
        return name.left(keep) + ellipsis + tail;
    }
    // The end of a file name tells scans apart ("…_012.ptx (000)"), so its start goes.
    return metrics.elidedText(name.mid(start), Qt::ElideLeft, width);
}

} // namespace orthaven

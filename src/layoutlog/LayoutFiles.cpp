#include "layoutlog/LayoutFiles.h"

#include "layout/ImageFormats.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace orthaven {

bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

QString scanPositionSheetName(const QString& thumbnailName)
{
    const QFileInfo thumbnail(thumbnailName);
    QString name = thumbnail.baseName() + QStringLiteral("_scan_positions");
    if (!thumbnail.suffix().isEmpty())
        name += QLatin1Char('.') + thumbnail.suffix();
    return name;
}

QString worldFileName(const QString& imageName)
{
    const int dot = imageName.lastIndexOf(QLatin1Char('.'));
    const QString suffix = dot >= 0 ? imageName.mid(dot + 1) : QString();
    if (suffix.isEmpty())
        return imageName + QStringLiteral(".wld");
    return imageName.left(dot + 1) + suffix.front() + suffix.back() + QLatin1Char('w');
}

QString projectionFileName(const QString& imageName)
{
    const int dot = imageName.lastIndexOf(QLatin1Char('.'));
    return (dot >= 0 ? imageName.left(dot) : imageName) + QStringLiteral(".prj");
}

QString drawingFileName(const QString& base)
{
    return base + QStringLiteral(".dxf");
}

QString mosaicFileName(const QString& base)
{
    return base + QStringLiteral(".vrt");
}

QString printFileName(const QString& base)
{
    return base + QStringLiteral(".pdf");
}

bool isLayoutFileName(const QString& base, const QString& name)
{
    if (base.isEmpty() || !name.startsWith(base))
        return false;
    for (const QString& own : {base + QStringLiteral(".log"), drawingFileName(base),
                               mosaicFileName(base), printFileName(base)})
        if (name == own)
            return true;
    const QString rest = name.mid(base.size());
    static const QRegularExpression tileProjection(QStringLiteral("^_[0-9]+_[0-9]+\\.prj$"));
    if (tileProjection.match(rest).hasMatch())
        return true;
    static const QRegularExpression own(
        QStringLiteral("^_(?:[0-9]+_[0-9]+|overview|overview_scan_positions)\\.([a-z]+)$"));
    const QRegularExpressionMatch match = own.match(rest);
    if (!match.hasMatch())
        return false;
    const QString suffix = match.captured(1);
    const bool tile = rest.front() == QLatin1Char('_') && rest.at(1).isDigit();
    for (const QString& type : imageFormatSuffixes())
        if (suffix == type || (tile && suffix == worldFileName(QStringLiteral("t.") + type).mid(2)))
            return true;
    return false;
}

QStringList layoutFileNames(const LayoutLogInfo& log)
{
    QStringList names;
    QSet<QString> seen;
    const auto add = [&names, &seen](const QString& name) {
        if (isPlainFileName(name) && !seen.contains(name)) {
            seen.insert(name);
            names.append(name);
        }
    };
    for (const QString& tile : log.tileNames)
        add(tile);
    for (const QString& tile : log.tileNames)
        if (isPlainFileName(tile))
            add(worldFileName(tile));
    if (!log.crs.isEmpty())
        for (const QString& tile : log.tileNames)
            if (isPlainFileName(tile))
                add(projectionFileName(tile));
    if (isPlainFileName(log.thumbnail)) {
        add(log.thumbnail);
        add(scanPositionSheetName(log.thumbnail));
    }
    for (const QString* handedOn : {&log.drawing, &log.mosaic, &log.print})
        add(*handedOn);
    return names;
}

} // namespace orthaven

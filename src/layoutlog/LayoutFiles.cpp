#include "layoutlog/LayoutFiles.h"

#include <QFileInfo>
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
    if (isPlainFileName(log.thumbnail)) {
        add(log.thumbnail);
        add(scanPositionSheetName(log.thumbnail));
    }
    return names;
}

} // namespace orthaven

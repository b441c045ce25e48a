#include "creator/ScanNameText.h"

#include <QHash>

#include <algorithm>
#include <vector>

namespace orthaven {

namespace {

qsizetype fileNameStart(const QString& name)
{
    return std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\'))) + 1;
}

bool isSeparator(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

} // namespace

QString shortScanName(const QString& name)
{
    return name.mid(fileNameStart(name));
}

QStringList distinctScanNames(const QStringList& names)
{
    // Where each name's shown part starts; moved left one folder at a time.
    std::vector<qsizetype> start;
    for (const QString& name : names)
        start.push_back(fileNameStart(name));
    const auto shown = [&](int i) { return names[i].mid(start[std::size_t(i)]); };
    for (bool widened = true; widened;) {
        widened = false;
        QHash<QString, QList<int>> alike;
        for (int i = 0; i < names.size(); ++i)
            alike[shown(i)].append(i);
        for (const QList<int>& group : std::as_const(alike)) {
            bool differ = false;
            for (int i : group)
                differ = differ || names[i] != names[group.first()];
            if (!differ)
                continue; // one name: a reader may list a scan name twice
            for (int i : group) {
                qsizetype& s = start[std::size_t(i)];
                if (s == 0)
                    continue;
                // Past the separator before the shown part, then to the one before that.
                qsizetype p = s - 1;
                while (p > 0 && isSeparator(names[i][p - 1]))
                    --p;
                while (p > 0 && !isSeparator(names[i][p - 1]))
                    --p;
                s = p;
                widened = true;
            }
        }
    }
    QStringList result;
    for (int i = 0; i < names.size(); ++i)
        result.append(shown(i));
    return result;
}

} // namespace orthaven

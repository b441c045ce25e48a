#include "creator/ScanDamage.h"

#include "creator/ScanNameText.h"
#include "scan/ScanSource.h"

#include <QCoreApplication>

namespace orthaven {

namespace {

bool flag(const QBitArray& flags, qsizetype i)
{
    return i >= 0 && i < flags.size() && flags.testBit(i);
}

// The note in the user's language where the reader wrote it for translation; "%1" … "%9"
// replaced in one pass, so an argument (a path) holding "%2" stays as it is.
QString noteText(const ScanNote& note)
{
    if (!note.format)
        return QString::fromStdString(note.text);
    const QString format = QCoreApplication::translate("ScanNote", note.format);
    QString text;
    for (qsizetype p = 0; p < format.size(); ++p) {
        const int k = format[p] == QLatin1Char('%') && p + 1 < format.size()
                          ? format[p + 1].digitValue() - 1
                          : -1;
        if (k >= 0 && std::size_t(k) < note.arguments.size()) {
            text += QString::fromStdString(note.arguments[std::size_t(k)]);
            ++p;
        } else {
            text += format[p];
        }
    }
    return text;
}

} // namespace

std::vector<DamagedScan> damagedScans(const ScanSource& source, const QBitArray& selected,
                                      const QBitArray& used)
{
    QStringList names;
    source.scanNames(names); // none when it fails: the scans are named by index alone
    std::vector<DamagedScan> damaged;
    const auto entry = [&](int index) -> DamagedScan& {
        for (DamagedScan& d : damaged) {
            if (d.index == index)
                return d;
        }
        DamagedScan d;
        d.index = index;
        d.name = index >= 0 && index < names.size() ? names[index] : QString();
        damaged.push_back(d);
        return damaged.back();
    };
    for (const ScanNote& note : source.notes()) {
        if (note.scan < 0 || flag(selected, note.scan))
            entry(note.scan).notes.append(noteText(note));
    }
    for (qsizetype i = 0; i < selected.size(); ++i) {
        if (selected.testBit(i) && !flag(used, i))
            entry(int(i)).leftOut = true;
    }
    std::stable_sort(damaged.begin(), damaged.end(),
                     [](const DamagedScan& a, const DamagedScan& b) { return a.index < b.index; });
    return damaged;
}

QStringList damagedScanLines(const std::vector<DamagedScan>& damaged, int maxLines)
{
    QStringList lines;
    int shown = 0;
    for (const DamagedScan& d : damaged) {
        if (shown == maxLines) {
            lines.append(QCoreApplication::translate("Layout", "… and %1 more")
                             .arg(qsizetype(damaged.size()) - shown));
            break;
        }
        ++shown;
        QString who;
        if (d.index < 0)
            who = QCoreApplication::translate("Layout", "The scan files");
        else if (d.name.isEmpty())
            who = QStringLiteral("[%1]").arg(d.index);
        else
            who = QStringLiteral("%1 [%2]").arg(shortScanName(d.name)).arg(d.index);
        QStringList what = d.notes;
        if (d.leftOut)
            what.append(
                QCoreApplication::translate("Layout", "could not be read and was left out"));
        lines.append(who + QStringLiteral(": ") + what.join(QStringLiteral("; ")));
    }
    return lines;
}

} // namespace orthaven

#include "engine/ShardPartials.h"

#include "Version.h"
#include "engine/RawSums.h"
#include "scan/ScanSource.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <map>

namespace orthaven {

namespace {

constexpr char tab = '\t';
constexpr qint64 keySample = qint64(1) << 20; // bytes of each end of a file in its key

QString number(double value)
{
    // The shortest text that reads back to the same double.
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

bool numberOf(const QString& text, double& value)
{
    bool ok = false;
    value = QLocale::c().toDouble(text, &ok);
    return ok;
}

bool wholeOf(const QString& text, qint64& value)
{
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok;
}

// A scan source of the scans a manifest lists: names, poses, positions and notes, no points.
class ListedScans : public ScanSource
{
public:
    explicit ListedScans(std::vector<PartialScan> listed) : scans(std::move(listed)) {}

private:
    bool findScans(const QStringList&) override
    {
        numScans = int(scans.size());
        for (int i = 0; i < numScans; ++i)
            for (const QString& note : scans[std::size_t(i)].notes)
                noteDamage(i, note.toStdString());
        return numScans > 0;
    }
    void nameScans(QStringList& names) const override
    {
        for (const PartialScan& scan : scans)
            names.append(scan.name);
    }
    bool poseOf(int i, cv::Mat& pose) const override
    {
        if (i < 0 || i >= numScans || scans[std::size_t(i)].pose.empty())
            return false;
        scans[std::size_t(i)].pose.copyTo(pose);
        return true;
    }
    bool positionKnown(int i) const override
    {
        return i < 0 || i >= numScans || scans[std::size_t(i)].hasPosition;
    }
    bool open(int) override { return false; }
    bool close(int) override { return true; }
    bool isOpen(int) const override { return false; }
    ReadStep readNext(const ReadRequest&, ScanChunk&) override { return ReadStep::End; }

    std::vector<PartialScan> scans;
};

// What differs first between two lists of "name<TAB>value" lines, as the message says it.
QString firstDifference(const QStringList& ours, const QStringList& theirs)
{
    for (qsizetype k = 0; k < std::max(ours.size(), theirs.size()); ++k) {
        const QString a = k < ours.size() ? ours[k] : QStringLiteral("(none)");
        const QString b = k < theirs.size() ? theirs[k] : QStringLiteral("(none)");
        if (a == b)
            continue;
        const QString name = b.section(QLatin1Char(tab), 0, 0);
        // "Resolution 0.1, not 0.05"; a file's line as a whole.
        const QString expected =
            a.section(QLatin1Char(tab), 0, 0) == name ? a.section(QLatin1Char(tab), 1) : a;
        return QString(b).replace(QLatin1Char(tab), QLatin1Char(' ')) + QStringLiteral(", not ") +
               QString(expected).replace(QLatin1Char(tab), QLatin1Char(' '));
    }
    return {};
}

QString scanLine(const PartialScan& scan)
{
    QStringList fields;
    fields << (scan.hasPosition ? QStringLiteral("1") : QStringLiteral("0"));
    if (scan.pose.empty()) {
        fields << QStringLiteral("-");
    } else {
        QStringList values;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                values << number(scan.pose.at<double>(r, c));
        fields << values.join(QLatin1Char(' '));
    }
    fields << scan.name;
    return fields.join(QLatin1Char(tab));
}

} // namespace

std::vector<int> shardShares(const std::vector<std::int64_t>& weights, const QBitArray& selected,
                             int count)
{
    const int scans = int(weights.size());
    std::vector<int> shardOf(std::size_t(scans), -1);
    if (count < 1)
        return shardOf;
    std::int64_t known = 0, knownSum = 0;
    for (int i = 0; i < scans; ++i) {
        if (i < selected.size() && selected.testBit(i) && weights[std::size_t(i)] >= 0) {
            ++known;
            knownSum += weights[std::size_t(i)];
        }
    }
    const std::int64_t unknownWeight = known > 0 ? std::max<std::int64_t>(knownSum / known, 1) : 1;
    std::vector<int> order;
    for (int i = 0; i < scans; ++i)
        if (i < selected.size() && selected.testBit(i))
            order.push_back(i);
    const auto weight = [&](int i) {
        return weights[std::size_t(i)] >= 0 ? weights[std::size_t(i)] : unknownWeight;
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return weight(a) > weight(b); });
    std::vector<std::int64_t> load(std::size_t(count), 0);
    for (int i : order) {
        const auto lightest = std::min_element(load.begin(), load.end());
        *lightest += weight(i);
        shardOf[std::size_t(i)] = int(lightest - load.begin());
    }
    return shardOf;
}

void addRawSums(cv::Mat& into, const cv::Mat& part, int cellBytes)
{
    for (int r = 0; r < into.rows; ++r) {
        if (cellBytes == 16) {
            WideSum* to = wideSums(into, r);
            const WideSum* from = wideSums(part, r);
            for (int c = 0; c < into.cols; ++c)
                to[c] += from[c];
        } else {
            RawSum* to = rawSums(into, r);
            const RawSum* from = rawSums(part, r);
            for (int c = 0; c < into.cols; ++c)
                to[c] += from[c];
        }
    }
}

std::int64_t largestRawSum(const cv::Mat& strip)
{
    RawSum largest = 0;
    for (int r = 0; r < strip.rows; ++r) {
        const RawSum* sums = rawSums(strip, r);
        for (int c = 0; c < strip.cols; ++c)
            largest = std::max(largest, sums[c]);
    }
    return largest;
}

QString partialsProgramVersion()
{
    return QStringLiteral("%1.%2").arg(QLatin1String(version::text)).arg(version::revision);
}

QString bitText(const QBitArray& bits)
{
    QString text(bits.size(), QLatin1Char('0'));
    for (qsizetype i = 0; i < bits.size(); ++i)
        if (bits.testBit(i))
            text[i] = QLatin1Char('1');
    return text;
}

bool bitsOf(const QString& text, QBitArray& bits)
{
    bits = QBitArray(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('0') && text[i] != QLatin1Char('1'))
            return false;
        bits.setBit(i, text[i] == QLatin1Char('1'));
    }
    return true;
}

QString shardFolderName(int index, int count)
{
    return QStringLiteral("shard-%1-of-%2").arg(index).arg(count);
}

QStringList jobLines(const LayoutJob& job)
{
    const auto line = [](const char* name, const QString& value) {
        return QLatin1String(name) + QLatin1Char(tab) + value;
    };
    QString facade = QStringLiteral("-");
    if (job.facade)
        facade = QStringList{number(job.facade->from.x), number(job.facade->from.y),
                             number(job.facade->to.x), number(job.facade->to.y)}
                     .join(QLatin1Char(' '));
    return {line("View", QString::number(job.view)),
            line("Azimuth", number(job.azimuth)),
            line("Facade", facade),
            line("Clip low", number(job.clipLow)),
            line("Clip high", number(job.clipHigh)),
            line("Resolution", number(job.resolution)),
            line("Domain", number(job.scannerDomain)),
            line("Tile", number(job.tileSize)),
            line("Invert", QString::number(int(job.invertColor))),
            line("Layer", QLatin1String(layerName(job.layer))),
            line("Type", job.imageType),
            line("Print scale", QString::number(job.printScale)),
            line("World files", QString::number(int(job.worldFiles))),
            line("Out", job.outputFile),
            line("Selection", bitText(job.scanList))};
}

bool jobFromLines(const QStringList& lines, LayoutJob& job)
{
    std::map<QString, QString> values;
    for (const QString& line : lines)
        values[line.section(QLatin1Char(tab), 0, 0)] = line.section(QLatin1Char(tab), 1);
    const auto real = [&](const char* name, double& field) {
        return numberOf(values[QLatin1String(name)], field);
    };
    const auto flag = [&](const char* name, bool& field) {
        field = values[QLatin1String(name)] == QLatin1String("1");
        return values[QLatin1String(name)] == QLatin1String("1") ||
               values[QLatin1String(name)] == QLatin1String("0");
    };
    qint64 view = 0, scale = 0;
    bool ok = wholeOf(values[QStringLiteral("View")], view) && real("Azimuth", job.azimuth) &&
              real("Clip low", job.clipLow) && real("Clip high", job.clipHigh) &&
              real("Resolution", job.resolution) && real("Domain", job.scannerDomain) &&
              real("Tile", job.tileSize) && flag("Invert", job.invertColor) &&
              layerByName(values[QStringLiteral("Layer")], job.layer) &&
              wholeOf(values[QStringLiteral("Print scale")], scale) &&
              flag("World files", job.worldFiles) &&
              bitsOf(values[QStringLiteral("Selection")], job.scanList);
    job.view = std::uint32_t(view);
    job.printScale = int(scale);
    job.imageType = values[QStringLiteral("Type")];
    job.outputFile = values[QStringLiteral("Out")];
    const QStringList facade = values[QStringLiteral("Facade")].split(QLatin1Char(' '));
    job.facade.reset();
    if (ok && facade.size() == 4) {
        FacadeLine line;
        ok = numberOf(facade[0], line.from.x) && numberOf(facade[1], line.from.y) &&
             numberOf(facade[2], line.to.x) && numberOf(facade[3], line.to.y);
        job.facade = line;
    }
    return ok && !job.outputFile.isEmpty();
}

bool inputFileLines(const QStringList& files, QStringList& lines, QString& error)
{
    lines.clear();
    for (const QString& path : files) {
        QFile file(path);
        const QFileInfo info(path);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read %1").arg(QDir::toNativeSeparators(path));
            return false;
        }
        QCryptographicHash key(QCryptographicHash::Sha256);
        const qint64 size = file.size();
        key.addData(QByteArray::number(size));
        key.addData(file.read(keySample));
        if (size > keySample && file.seek(std::max(keySample, size - keySample)))
            key.addData(file.read(keySample));
        lines << QStringList{info.fileName(), QString::number(size),
                             QString::number(info.lastModified().toMSecsSinceEpoch()),
                             QString::fromLatin1(key.result().toHex())}
                     .join(QLatin1Char(tab));
    }
    return true;
}

QByteArray PartialManifest::text() const
{
    QStringList lines;
    const auto add = [&](const char* key, const QString& value) {
        lines << QLatin1String(key) + QLatin1Char(tab) + value;
    };
    add("Orthaven partial raw tiles", QString::number(format));
    add("Program", program);
    add("Shard", QStringLiteral("%1/%2").arg(index).arg(count));
    for (const QString& line : jobLines)
        add("Job", line);
    for (const QString& line : fileLines)
        add("File", line);
    for (const PartialScan& scan : scans)
        add("Scan", scanLine(scan));
    for (std::size_t i = 0; i < scans.size(); ++i)
        for (const QString& note : scans[i].notes)
            add("Note", QString::number(i) + QLatin1Char(tab) + note);
    add("Selected", bitText(selected));
    add("Share", bitText(share));
    add("Used", bitText(used));
    add("Layer", QStringLiteral("%1\t%2\t%3\t%4")
                     .arg(layerSelected)
                     .arg(layerWithout)
                     .arg(QString::number(double(layerLow), 'g', 9),
                          QString::number(double(layerHigh), 'g', 9)));
    add("Range", QStringLiteral("%1\t%2\t%3\t%4")
                     .arg(range.minU)
                     .arg(range.maxU)
                     .arg(range.minV)
                     .arg(range.maxV));
    add("Strips", QStringLiteral("%1\t%2").arg(tilePixels).arg(stripRows));
    for (const PartialTile& t : tiles)
        add("Tile", QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7")
                        .arg(t.store)
                        .arg(t.U)
                        .arg(t.V)
                        .arg(t.strip)
                        .arg(t.bytes)
                        .arg(QString::fromLatin1(t.sha256), t.file));
    add("End", QString::number(tiles.size()));
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

bool PartialManifest::parse(const QByteArray& bytes, QString& error)
{
    *this = PartialManifest();
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    bool ended = false;
    qint64 tileCount = -1;
    const auto bad = [&](const QString& why) {
        error = why;
        return false;
    };
    if (lines.isEmpty() ||
        lines.first() != QStringLiteral("Orthaven partial raw tiles\t%1").arg(format))
        return bad(QStringLiteral("not a partial of this format"));
    for (const QString& line : lines.mid(1)) {
        if (line.isEmpty())
            continue;
        const QString key = line.section(QLatin1Char(tab), 0, 0);
        const QString value = line.section(QLatin1Char(tab), 1);
        const QStringList f = value.split(QLatin1Char(tab));
        qint64 w[7] = {};
        const auto whole = [&](int from, int to) {
            bool ok = f.size() >= to;
            for (int k = from; ok && k < to; ++k)
                ok = wholeOf(f[k], w[k]);
            return ok;
        };
        bool ok = true;
        if (key == QLatin1String("Program")) {
            program = value;
        } else if (key == QLatin1String("Shard")) {
            ok = wholeOf(value.section(QLatin1Char('/'), 0, 0), w[0]) &&
                 wholeOf(value.section(QLatin1Char('/'), 1), w[1]);
            index = int(w[0]);
            count = int(w[1]);
        } else if (key == QLatin1String("Job")) {
            jobLines << value;
        } else if (key == QLatin1String("File")) {
            fileLines << value;
        } else if (key == QLatin1String("Scan") && f.size() >= 3) {
            PartialScan scan;
            scan.hasPosition = f[0] == QLatin1String("1");
            scan.name = value.section(QLatin1Char(tab), 2);
            if (f[1] != QLatin1String("-")) {
                const QStringList v = f[1].split(QLatin1Char(' '));
                ok = v.size() == 16;
                scan.pose = cv::Mat(4, 4, CV_64F);
                for (int k = 0; ok && k < 16; ++k)
                    ok = numberOf(v[k], scan.pose.at<double>(k / 4, k % 4));
            }
            scans.push_back(scan);
        } else if (key == QLatin1String("Note") && whole(0, 1) && w[0] >= 0 &&
                   w[0] < qint64(scans.size())) {
            scans[std::size_t(w[0])].notes << value.section(QLatin1Char(tab), 1);
        } else if (key == QLatin1String("Selected")) {
            ok = bitsOf(value, selected);
        } else if (key == QLatin1String("Share")) {
            ok = bitsOf(value, share);
        } else if (key == QLatin1String("Used")) {
            ok = bitsOf(value, used);
        } else if (key == QLatin1String("Layer") && whole(0, 2) && f.size() == 4) {
            layerSelected = int(w[0]);
            layerWithout = int(w[1]);
            double low = 0.0, high = 0.0;
            ok = numberOf(f[2], low) && numberOf(f[3], high);
            layerLow = float(low);
            layerHigh = float(high);
        } else if (key == QLatin1String("Range") && whole(0, 4)) {
            range = {std::int32_t(w[0]), std::int32_t(w[1]), std::int32_t(w[2]),
                     std::int32_t(w[3])};
        } else if (key == QLatin1String("Strips") && whole(0, 2)) {
            tilePixels = int(w[0]);
            stripRows = int(w[1]);
        } else if (key == QLatin1String("Tile") && whole(0, 5) && f.size() == 7) {
            tiles.push_back(
                {int(w[0]), int(w[1]), int(w[2]), int(w[3]), w[4], f[5].toLatin1(), f[6]});
            ok = !f[6].contains(QLatin1Char('/')) && !f[6].startsWith(QLatin1Char('.'));
        } else if (key == QLatin1String("End")) {
            ok = wholeOf(value, tileCount);
            ended = true;
        } else {
            ok = false;
        }
        if (!ok)
            return bad(QStringLiteral("a damaged line: %1").arg(line.left(80)));
    }
    if (!ended || tileCount != qint64(tiles.size()))
        return bad(QStringLiteral("the manifest is cut short"));
    if (count < 1 || index < 1 || index > count || scans.empty() ||
        selected.size() != qsizetype(scans.size()) || share.size() != selected.size() ||
        used.size() != selected.size() || tilePixels < 1 || stripRows < 1)
        return bad(QStringLiteral("the manifest is incomplete"));
    return true;
}

bool PartialSet::read(const QStringList& folders, QString& error)
{
    shards.clear();
    // Every shard folder named, from partials folders or given directly.
    QStringList shardFolders;
    static const QRegularExpression shardName(QStringLiteral("^shard-\\d+-of-\\d+$"));
    for (const QString& folder : folders) {
        const QDir dir(folder);
        if (!dir.exists()) {
            error = QStringLiteral("no such folder: %1").arg(QDir::toNativeSeparators(folder));
            return false;
        }
        if (QFileInfo::exists(dir.filePath(QStringLiteral("manifest")))) {
            shardFolders << dir.absolutePath();
            continue;
        }
        const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        const qsizetype before = shardFolders.size();
        for (const QString& name : names)
            if (shardName.match(name).hasMatch())
                shardFolders << dir.absoluteFilePath(name);
        if (shardFolders.size() == before) {
            error = QStringLiteral("%1 holds no shard").arg(QDir::toNativeSeparators(folder));
            return false;
        }
    }
    shardFolders.removeDuplicates();

    std::map<int, PartialManifest> byIndex;
    for (const QString& folder : std::as_const(shardFolders)) {
        const QString where = QDir::toNativeSeparators(folder);
        QFile file(QDir(folder).filePath(QStringLiteral("manifest")));
        PartialManifest manifest;
        QString why;
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("%1 is no complete shard: it has no manifest").arg(where);
            return false;
        }
        if (!manifest.parse(file.readAll(), why)) {
            error = QStringLiteral("%1 is damaged: %2").arg(where, why);
            return false;
        }
        manifest.folder = folder;
        if (QFileInfo(folder).fileName().startsWith(QLatin1String("shard-")) &&
            QFileInfo(folder).fileName() != shardFolderName(manifest.index, manifest.count)) {
            error = QStringLiteral("%1 holds shard %2 of %3 under another name")
                        .arg(where)
                        .arg(manifest.index)
                        .arg(manifest.count);
            return false;
        }
        if (manifest.program != partialsProgramVersion()) {
            error = QStringLiteral("%1 was made by version %2 of the program, this is %3")
                        .arg(where, manifest.program, partialsProgramVersion());
            return false;
        }
        if (byIndex.count(manifest.index)) {
            error = QStringLiteral("shard %1 of %2 is there twice: %3 and %4")
                        .arg(manifest.index)
                        .arg(manifest.count)
                        .arg(QDir::toNativeSeparators(byIndex[manifest.index].folder), where);
            return false;
        }
        if (!byIndex.empty()) {
            const PartialManifest& first = byIndex.begin()->second;
            const QString firstWhere = QDir::toNativeSeparators(first.folder);
            QString differs;
            if (manifest.count != first.count)
                differs = QStringLiteral("it is one of %1 shards, %2 one of %3")
                              .arg(manifest.count)
                              .arg(firstWhere)
                              .arg(first.count);
            else if (manifest.fileLines != first.fileLines)
                differs = QStringLiteral("other scan files (%1)")
                              .arg(firstDifference(first.fileLines, manifest.fileLines));
            else if (manifest.jobLines != first.jobLines)
                differs = QStringLiteral("other options (%1)")
                              .arg(firstDifference(first.jobLines, manifest.jobLines));
            else if (manifest.scans.size() != first.scans.size() ||
                     !std::equal(manifest.scans.begin(), manifest.scans.end(), first.scans.begin(),
                                 [](const PartialScan& a, const PartialScan& b) {
                                     return scanLine(a) == scanLine(b);
                                 }))
                differs = QStringLiteral("other scans");
            else if (manifest.tilePixels != first.tilePixels ||
                     manifest.stripRows != first.stripRows)
                differs = QStringLiteral("other raw tiles");
            if (!differs.isEmpty()) {
                error = QStringLiteral("%1 does not belong with %2: %3")
                            .arg(where, firstWhere, differs);
                return false;
            }
        }
        byIndex[manifest.index] = std::move(manifest);
    }

    const PartialManifest& first = byIndex.begin()->second;
    QStringList missing;
    for (int i = 1; i <= first.count; ++i)
        if (!byIndex.count(i))
            missing << QString::number(i);
    if (!missing.isEmpty()) {
        error = QStringLiteral("shard %1 of %2 is missing")
                    .arg(missing.join(QStringLiteral(", ")))
                    .arg(first.count);
        return false;
    }
    // Every selected scan in exactly one share, and drawn only by its own shard.
    QBitArray covered(first.selected.size());
    used = QBitArray(first.selected.size());
    for (const auto& [index, manifest] : byIndex) {
        if ((covered & manifest.share).count(true) > 0 ||
            (manifest.used & ~manifest.share).count(true) > 0) {
            error = QStringLiteral("the shards did not share out the scans alike (%1)")
                        .arg(QDir::toNativeSeparators(manifest.folder));
            return false;
        }
        covered |= manifest.share;
        used |= manifest.used;
    }
    if (covered != first.selected) {
        error = QStringLiteral("the shards did not share out the scans alike");
        return false;
    }
    job = LayoutJob();
    if (!jobFromLines(first.jobLines, job) || job.scanList != first.selected) {
        error = QStringLiteral("%1 is damaged: its options cannot be read")
                    .arg(QDir::toNativeSeparators(first.folder));
        return false;
    }
    for (auto& [index, manifest] : byIndex) {
        for (const PartialTile& tile : manifest.tiles) {
            const QFileInfo info(QDir(manifest.folder).filePath(tile.file));
            if (!info.isFile() || info.size() != tile.bytes) {
                error = QStringLiteral("%1 is damaged: %2 is missing or of another size")
                            .arg(QDir::toNativeSeparators(manifest.folder), tile.file);
                return false;
            }
        }
        shards.push_back(std::move(manifest));
    }
    return true;
}

std::unique_ptr<ScanSource> PartialSet::listedScans() const
{
    // Every shard lists every scan; what the reader noted while drawing a scan only the
    // shard that drew it knows.
    std::vector<PartialScan> scans = shards.empty() ? std::vector<PartialScan>{} : shards[0].scans;
    for (const PartialManifest& shard : shards)
        for (std::size_t i = 0; i < scans.size(); ++i)
            if (shard.share.testBit(qsizetype(i)))
                scans[i].notes = shard.scans[i].notes;
    auto source = std::make_unique<ListedScans>(std::move(scans));
    source->fetchFiles({});
    return source;
}

} // namespace orthaven

#include "scan/riegl/RieglProject.h"

#include "diag/Diagnostics.h"
#include "platform/RegularFile.h"

#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <fast_float/fast_float.h>

#include <cmath>
#include <string>

namespace orthaven {

namespace {

// Element children are looked up by exact tag name, in document order.
QDomElement firstChild(const QDomElement& parent, const QString& tag)
{
    return parent.firstChildElement(tag);
}

template <class Visit> void forEachChild(const QDomElement& parent, const QString& tag, Visit visit)
{
    for (QDomElement e = parent.firstChildElement(tag); !e.isNull(); e = e.nextSiblingElement(tag))
        visit(e);
}

std::string quoted(const QString& text)
{
    return "\"" + text.toStdString() + "\"";
}

// One matrix number: the whole item must be a finite number. Project files write
// exponents the Windows way ("4.7632160018149184E-005").
bool parseItem(const QString& item, double& value)
{
    const QByteArray bytes = item.toLatin1();
    const char* begin = bytes.constData();
    const char* const end = begin + bytes.size();
    if (begin < end && *begin == '+') {
        ++begin;
        if (begin < end && *begin == '-')
            return false;
    }
    const fast_float::from_chars_result r = fast_float::from_chars(begin, end, value);
    return r.ec == std::errc() && r.ptr == end && begin != end && std::isfinite(value);
}

// The 4 × 4 matrix of a "matrix" element: rows="4" cols="4" and at least 16 numbers, the
// first 16 of which fill it row by row. Otherwise false with the reason.
bool readMatrix(const QDomElement& matrix, cv::Mat& out, std::string& problem)
{
    if (matrix.isNull()) {
        problem = "holds no matrix";
        return false;
    }
    bool rowsOk = false;
    bool colsOk = false;
    const int rows = matrix.attribute(QStringLiteral("rows")).toInt(&rowsOk);
    const int cols = matrix.attribute(QStringLiteral("cols")).toInt(&colsOk);
    if (!rowsOk || !colsOk || rows != 4 || cols != 4) {
        problem = "matrix of rows=" + quoted(matrix.attribute(QStringLiteral("rows"))) +
                  " cols=" + quoted(matrix.attribute(QStringLiteral("cols"))) + ", 4 x 4 expected";
        return false;
    }
    const QStringList items =
        matrix.text().simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (items.size() < 16) {
        problem = "matrix holds " + std::to_string(items.size()) + " numbers, 16 expected";
        return false;
    }
    cv::Mat m(4, 4, CV_64F);
    for (int k = 0; k < 16; ++k) {
        if (!parseItem(items[k], m.at<double>(k / 4, k % 4))) {
            problem = "matrix item " + std::to_string(k + 1) + " " + quoted(items[k]) +
                      " is not a finite number";
            return false;
        }
    }
    out = m;
    return true;
}

// POP · SOP, summed in a fixed order so that the same matrices always give the same pose.
cv::Mat product(const cv::Mat& a, const cv::Mat& b)
{
    cv::Mat p(4, 4, CV_64F);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = a.at<double>(r, 0) * b.at<double>(0, c);
            for (int k = 1; k < 4; ++k)
                sum += a.at<double>(r, k) * b.at<double>(k, c);
            p.at<double>(r, c) = sum;
        }
    }
    return p;
}

bool isArchived(const QDomElement& scan, const QString& fileName)
{
    return !RieglProject::isPlainScanFile(fileName) ||
           scan.attribute(QStringLiteral("states"))
               .split(QLatin1Char(' '), Qt::SkipEmptyParts)
               .contains(QStringLiteral("deleted"));
}

// The scan file of one "singlescans": the first plain scan; when none is plain (or the
// position only holds copies), the first scan that names a file. Empty when none does.
QString chooseScanFile(const QDomElement& singleScans)
{
    QString first;
    QString plain;
    forEachChild(singleScans, QStringLiteral("scan"), [&](const QDomElement& scan) {
        if (!plain.isEmpty())
            return;
        const QString file = firstChild(scan, QStringLiteral("file")).text().trimmed();
        if (file.isEmpty())
            return;
        if (first.isEmpty())
            first = file;
        if (!isArchived(scan, file))
            plain = file;
    });
    return plain.isEmpty() ? first : plain;
}

// Folders joined with "/" on every platform; a missing "fold" adds no empty step.
QString joinPath(const QString& folder, const QStringList& steps)
{
    QString path = folder;
    for (const QString& step : steps) {
        if (step.isEmpty())
            continue;
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        path += step;
    }
    return path;
}

QString positionLabel(const QDomElement& position, int number)
{
    QString label = position.attribute(QStringLiteral("name"));
    if (label.isEmpty())
        label = position.attribute(QStringLiteral("fold"));
    if (label.isEmpty())
        label = QStringLiteral("#%1").arg(number);
    return label;
}

bool isValidUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
}

// Whether Qt's XML reader can tell the encoding itself: a byte-order mark or an encoding
// declaration. Otherwise it takes UTF-8.
bool encodingIsStated(const QByteArray& bytes)
{
    if (bytes.startsWith("\xef\xbb\xbf") || bytes.startsWith("\xff\xfe") ||
        bytes.startsWith("\xfe\xff"))
        return true;
    const qsizetype declarationEnd = bytes.indexOf("?>");
    return bytes.startsWith("<?xml") && declarationEnd > 0 &&
           bytes.left(declarationEnd).contains("encoding");
}

// Walks the document once as a stream, which needs no tree, and answers whether its
// elements nest deeper than maxDepth (and where). Syntax errors are left to the DOM parse.
template <class Content> bool nestsTooDeep(const Content& content, qint64& line)
{
    QXmlStreamReader xml(content);
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > RieglProject::maxDepth) {
                line = xml.lineNumber();
                return true;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return false;
}

} // namespace

bool RieglProject::isPlainScanFile(const QString& fileName)
{
    static const QRegularExpression archivedCopy(QStringLiteral("@\\d{8}-\\d{6}"));
    const qsizetype lastDot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString stem = lastDot > 0 ? fileName.left(lastDot) : fileName;
    if (stem.endsWith(QLatin1String(".mon"), Qt::CaseInsensitive))
        return false;
    return !archivedCopy.match(fileName).hasMatch();
}

bool RieglProject::read(const QString& projectPath)
{
    paths.clear();
    poses.clear();

    QFile file(projectPath);
    QString why;
    if (!openRegularFile(file, QIODevice::ReadOnly, &why)) {
        diag::error("Cannot open rsp file ", projectPath.toStdString(), ": ", why.toStdString());
        return false;
    }
    if (file.size() > maxFileSize) {
        diag::error("rsp file ", projectPath.toStdString(), " holds ", file.size(),
                    " bytes; at most ", maxFileSize, " are read");
        return false;
    }
    const QByteArray bytes = file.readAll();
    file.close();

    // RiSCAN runs on Windows; a project holding folder names in its 8-bit code page
    // without saying so is read as Latin-1 rather than refused as broken UTF-8.
    const bool asLatin1 = !encodingIsStated(bytes) && !isValidUtf8(bytes);
    const QString latin1 = asLatin1 ? QString::fromLatin1(bytes) : QString();
    qint64 deepLine = 0;
    if (asLatin1 ? nestsTooDeep(latin1, deepLine) : nestsTooDeep(bytes, deepLine)) {
        diag::error("Error: rsp file nests elements deeper than ", maxDepth, " levels at line ",
                    deepLine);
        return false;
    }

    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    const bool parsed = asLatin1 ? document.setContent(latin1, false, &message, &line, &column)
                                 : document.setContent(bytes, false, &message, &line, &column);
    if (!parsed) {
        diag::error("Error: Parse error at line ", line, ", column ", column, ": ",
                    message.toStdString());
        return false;
    }
    if (asLatin1)
        diag::info("rsp file is not UTF-8; read as Latin-1");

    if (!walk(document.documentElement(), QFileInfo(projectPath).absolutePath())) {
        paths.clear();
        poses.clear();
        return false;
    }
    return true;
}

bool RieglProject::walk(const QDomElement& root, const QString& projectFolder)
{
    std::vector<cv::Mat> sops; // one per entry of paths
    bool sound = true;
    int positionNumber = 0;
    forEachChild(root, QStringLiteral("scanpositions"), [&](const QDomElement& positions) {
        const QString positionsFold = positions.attribute(QStringLiteral("fold"));
        forEachChild(positions, QStringLiteral("scanposition"), [&](const QDomElement& position) {
            ++positionNumber;
            if (!sound)
                return;
            const QString positionFold = position.attribute(QStringLiteral("fold"));
            QStringList found;
            forEachChild(position, QStringLiteral("singlescans"), [&](const QDomElement& scans) {
                const QString file = chooseScanFile(scans);
                if (file.isEmpty()) {
                    // An empty "singlescans" is no scan, not a path to its folder.
                    diag::warning("Scan position ", quoted(positionLabel(position, positionNumber)),
                                  ": no scan file in ",
                                  quoted(scans.attribute(QStringLiteral("fold"))));
                    return;
                }
                found.append(
                    joinPath(projectFolder, {positionsFold, positionFold,
                                             scans.attribute(QStringLiteral("fold")), file}));
            });
            if (found.isEmpty())
                return; // its SOP, if any, places nothing

            // Each scan takes the SOP of its own position; a position without a sound SOP
            // cannot be placed, and guessing would draw its points in the wrong place.
            const QDomElement sop = firstChild(position, QStringLiteral("sop"));
            cv::Mat matrix;
            std::string problem;
            if (sop.isNull()) {
                problem = "no sop";
            } else if (readMatrix(firstChild(sop, QStringLiteral("matrix")), matrix, problem)) {
                for (const QString& path : found) {
                    paths.append(path);
                    sops.push_back(matrix);
                }
                return;
            }
            diag::error("Error: scan position ", quoted(positionLabel(position, positionNumber)),
                        ": ", (sop.isNull() ? problem : "sop " + problem));
            sound = false;
        });
    });
    if (!sound)
        return false;
    if (paths.isEmpty()) {
        diag::warning("No scans found in rsp file");
        return true;
    }

    // Without a "pop" the project coordinates are the scan-position coordinates; a "pop"
    // that is there but broken is refused like a broken SOP.
    cv::Mat pop = cv::Mat::eye(4, 4, CV_64F);
    const QDomElement popElement = firstChild(root, QStringLiteral("pop"));
    if (popElement.isNull()) {
        diag::info("No pop in rsp file; the project pose is the identity");
    } else {
        std::string problem;
        if (!readMatrix(firstChild(popElement, QStringLiteral("matrix")), pop, problem)) {
            diag::error("Error: pop ", problem);
            return false;
        }
    }
    for (const cv::Mat& sop : sops)
        poses.push_back(product(pop, sop));
    return true;
}

} // namespace orthaven

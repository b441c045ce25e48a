#include "creator/OverviewSheet.h"

#include "creator/ScanNameText.h"
#include "diag/Diagnostics.h"
#include "engine/ImageWriter.h"
#include "layout/NumberText.h"
#include "layoutlog/LayoutFiles.h"
#include "layoutlog/LogReader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLineF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <functional>

namespace orthaven {

namespace {

// The logo sits above the caption in the upper left corner of both pictures.
const QRect logoArea(45, 10, 120, 120);
const QPoint captionAt(45, 155);
const QPoint listTitleAt(45, 300);
constexpr int listTop = 360;
constexpr int listLineStep = 40;
constexpr int symbolAboveBottom = 90;
constexpr int stripFontPixels = 30;

std::string utf8(const QString& text)
{
    return text.toStdString();
}

bool flag(const QBitArray& flags, qsizetype i)
{
    return i >= 0 && i < flags.size() && flags.testBit(i);
}

QString nameOf(const OverviewInputs& inputs, qsizetype i)
{
    return i >= 0 && i < inputs.scanNames.size() ? inputs.scanNames[i] : QString();
}

QString indexLabel(int i)
{
    return QStringLiteral("_%1").arg(i);
}

// A picture coordinate truncated like the drawing does; nothing for a value no picture
// can hold (a scan far outside the layout, or numbers that are not numbers).
std::optional<int> pixel(double value)
{
    if (!std::isfinite(value) || std::abs(value) > 1.0e7)
        return std::nullopt;
    return static_cast<int>(value);
}

QColor invertedOpaque(const QColor& c)
{
    return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue(), 255);
}

QColor ink(bool inkWhite, int alpha = 255)
{
    const int c = inkWhite ? 255 : 0;
    return QColor(c, c, c, alpha);
}

void setFontPixelSize(QPainter& painter, int pixels)
{
    QFont font = painter.font();
    font.setPixelSize(pixels);
    painter.setFont(font);
}

bool symbolReversed(std::uint32_t view)
{
    const ViewInfo* info = viewInfo(view);
    return info && axisRunsLeftward(*info);
}

QString caption()
{
    return QCoreApplication::translate("OverviewSheet",
                                       "Orthaven – orthographic layouts from laser scans");
}

// Logo and caption, the caption in the current pen.
void drawBranding(QPainter& painter)
{
    const QImage logo(QStringLiteral(":/logosets/logo_orthaven_512.png"));
    if (!logo.isNull())
        painter.drawImage(logoArea, logo);
    painter.drawText(captionAt, caption());
}

// The thumbnail as the pictures draw on it, or nothing (and why, on standard output).
std::optional<OverviewSource> usableSource(OverviewSource source)
{
    if (source.log.tilesU <= 0 || source.log.tilesV <= 0 || source.log.cornersLBView.empty()) {
        diag::warning("Overview pictures skipped: the layout has no tiles");
        return std::nullopt;
    }
    if (source.thumbnailPath.isEmpty()) {
        diag::warning("Overview pictures skipped: the log names no thumbnail in its folder");
        return std::nullopt;
    }
    // A thumbnail that cannot be read leaves nothing worth drawing on: no picture is
    // written, and the file (if any) stays as it is.
    if (!source.thumbnail.isNull())
        source.thumbnail = source.thumbnail.convertToFormat(QImage::Format_RGB32);
    if (source.thumbnail.isNull()) {
        diag::error("Open Layout Thumbnail failed");
        return std::nullopt;
    }
    if (!overviewScale(source.log, source.thumbnail.width())) {
        diag::warning("Overview pictures skipped: the layout has no tiles");
        return std::nullopt;
    }
    return source;
}

// The source of a log read by reader, with the thumbnail thumbnailOf gives for it.
std::optional<OverviewSource>
sourceFromLog(const QString& logPath, const LogReader& reader,
              const std::function<QImage(const OverviewSource&)>& thumbnailOf)
{
    if (!canDrawOverviewPictures()) {
        diag::warning("Overview pictures skipped: drawing text needs a QGuiApplication");
        return std::nullopt;
    }
    if (!reader.ok()) {
        diag::error("Open Layout Log failed: ", utf8(logPath), " (", utf8(reader.errorText()), ")");
        return std::nullopt;
    }
    OverviewSource source;
    source.logPath = logPath;
    source.log = reader.info();
    source.thumbnailPath = overviewThumbnailPath(logPath, source.log);
    source.thumbnail = thumbnailOf(source);
    return usableSource(std::move(source));
}

bool save(const QString& path, const QImage& image, const QString& kind, QString* failure)
{
    QString why;
    if (ImageWriter::saveQImage(path, image, kind, &why))
        return true;
    diag::error("Could not write ", utf8(path), ": ", utf8(why));
    if (failure)
        *failure = why;
    return false;
}

// The layer as the title block names it; the log names none for the density picture.
QString layerName(const QString& layer)
{
    if (layer.isEmpty() || layer == QLatin1String("density"))
        return QCoreApplication::translate("OverviewSheet", "density");
    if (layer == QLatin1String("intensity"))
        return QCoreApplication::translate("OverviewSheet", "intensity");
    if (layer == QLatin1String("colour"))
        return QCoreApplication::translate("OverviewSheet", "colour");
    return layer;
}

// The axis of the frame the clipping planes of a view cut along.
QString depthAxis(const ViewInfo& info, const LayoutFrame& frame)
{
    static const char* const names[3] = {"X", "Y", "Z"};
    for (int k = 0; k < 3; ++k)
        if (info.rows[6 + k] != 0.0)
            return frameAxisName(names[k], frame);
    return {};
}

// Pixels from the picture's upper and right edges to the centre of the north arrow,
// beyond half its length.
constexpr int arrowInset = 70;

// The ground of the strip under the drawing: the thumbnail's own ground (white, or black
// for light-on-dark pictures) faded on white as the drawing is.
void fillStripGround(QPainter& painter, const QRect& area, bool inkWhite)
{
    painter.fillRect(area, Qt::white);
    if (inkWhite) {
        painter.setOpacity(0.5);
        painter.fillRect(area, Qt::black);
        painter.setOpacity(1.0);
    }
}

// A bar of alternately filled and open sections with "0" over its left end and its length
// over its right end, filled with the painter's pen colour.
void drawScaleBar(QPainter& painter, const QRect& box, const ScaleBar& bar)
{
    const QColor colour = painter.pen().color();
    const int w = box.width();
    const int h = box.height();
    const int sections =
        std::lround(bar.metres / std::pow(10.0, std::floor(std::log10(bar.metres)))) == 2 ? 4 : 5;
    for (int i = 0; i < sections; i += 2) {
        const int from = box.left() + int(std::lround(double(i) * w / sections));
        const int to = box.left() + int(std::lround(double(i + 1) * w / sections));
        painter.fillRect(QRect(from, box.top(), to - from, h), colour);
    }
    painter.fillRect(QRect(box.left(), box.top(), w, 2), colour);
    painter.fillRect(QRect(box.left(), box.bottom() - 1, w, 2), colour);
    painter.fillRect(QRect(box.left(), box.top(), 2, h), colour);
    painter.fillRect(QRect(box.right() - 1, box.top(), 2, h), colour);
    const QFontMetrics metrics = painter.fontMetrics();
    const int baseline = box.top() - 8 - metrics.descent();
    const QString zero = QStringLiteral("0");
    painter.drawText(QPoint(box.left() - metrics.horizontalAdvance(zero) / 2, baseline), zero);
    painter.drawText(QPoint(box.right() - metrics.horizontalAdvance(bar.text) / 2, baseline),
                     bar.text);
}

} // namespace

QDate layoutDate(const QString& logPath, const OverviewInputs& inputs)
{
    if (inputs.date.isValid())
        return inputs.date;
    const QDate written = QFileInfo(logPath).lastModified().date();
    return written.isValid() ? written : QDate::currentDate();
}

bool canDrawOverviewPictures()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

QString overviewThumbnailPath(const QString& logPath, const LayoutLogInfo& log)
{
    // Only a file beside the log is ever overwritten.
    if (!isPlainFileName(log.thumbnail))
        return {};
    return QDir(QFileInfo(logPath).absolutePath()).filePath(log.thumbnail);
}

QString scanPositionSheetPath(const QString& thumbnailPath)
{
    const QFileInfo thumbnail(thumbnailPath);
    return QDir(thumbnail.absolutePath()).filePath(scanPositionSheetName(thumbnail.fileName()));
}

std::optional<OverviewSource> loadOverviewSource(const QString& logPath)
{
    return sourceFromLog(logPath, LogReader(logPath), [](const OverviewSource& source) {
        const bool tiles =
            source.log.tilesU > 0 && source.log.tilesV > 0 && !source.log.cornersLBView.empty();
        return tiles && !source.thumbnailPath.isEmpty() ? QImage(source.thumbnailPath) : QImage();
    });
}

std::optional<OverviewSource> overviewSource(const QString& logPath, const QByteArray& logText,
                                             const QImage& thumbnail)
{
    return sourceFromLog(logPath, LogReader(logPath, logText),
                         [&thumbnail](const OverviewSource&) { return thumbnail; });
}

std::optional<OverviewScale> overviewScale(const LayoutLogInfo& log, int imageWidth)
{
    if (log.tilesU <= 0 || log.tilesV <= 0 || log.cornersLBView.empty() ||
        log.cornersRUView.empty() || imageWidth <= 0)
        return std::nullopt;
    OverviewScale scale;
    scale.tileEdge =
        std::abs(log.cornersRUView[0].at<double>(0) - log.cornersLBView[0].at<double>(0));
    scale.pxPerMetre = double(imageWidth) / log.tilesU / scale.tileEdge;
    if (!std::isfinite(scale.tileEdge) || scale.tileEdge <= 0.0 ||
        !std::isfinite(scale.pxPerMetre) || scale.pxPerMetre <= 0.0)
        return std::nullopt;
    return scale;
}

std::vector<ScanMarker> scanMarkers(const LayoutLogInfo& log, const OverviewInputs& inputs,
                                    QSize imageSize)
{
    std::vector<ScanMarker> markers;
    const std::optional<OverviewScale> scale = overviewScale(log, imageSize.width());
    if (!scale || log.projection.rows != 4 || log.projection.cols != 4)
        return markers;
    // The engine mirrors the pictures of some views left-right.
    const ViewInfo* info = viewInfo(inputs.view);
    const bool mirrored = info && info->mirrored;
    for (std::size_t i = 0; i < log.scanPoses.size(); ++i) {
        const cv::Mat& pose = log.scanPoses[i];
        if (pose.rows != 4 || pose.cols != 4 || pose.type() != CV_64F ||
            flag(inputs.noPosition, qsizetype(i)))
            continue;
        const cv::Mat position = (cv::Mat_<double>(4, 1) << pose.at<double>(0, 3),
                                  pose.at<double>(1, 3), pose.at<double>(2, 3), 1.0);
        const cv::Mat q = log.projection * position;
        const double px = (q.at<double>(0) - log.extentMin[0]) * scale->pxPerMetre;
        const double py = (q.at<double>(1) - log.extentMin[1]) * scale->pxPerMetre;
        const std::optional<int> x = pixel(px);
        const std::optional<int> y = pixel(imageSize.height() - py);
        if (!x || !y)
            continue;
        ScanMarker marker;
        marker.index = int(i);
        marker.centre = QPoint(mirrored ? imageSize.width() - *x - 1 : *x, *y);
        marker.used = flag(inputs.scanList, qsizetype(i)) && flag(inputs.usedFlags, qsizetype(i));
        // Scan names are often whole paths; the file name is what tells scans apart on a
        // sheet, the index what ties them to the list and the layout log.
        const QString name = shortScanName(nameOf(inputs, qsizetype(i)));
        marker.label = indexLabel(int(i));
        if (marker.used && !name.isEmpty())
            marker.label += QLatin1Char(' ') + name;
        markers.push_back(marker);
    }
    return markers;
}

std::vector<GridLabel> gridLabels(const LayoutLogInfo& log, std::uint32_t view, QSize imageSize)
{
    std::vector<GridLabel> labels;
    const std::optional<OverviewScale> scale = overviewScale(log, imageSize.width());
    if (!scale)
        return labels;
    const double edge = scale->tileEdge;
    const double ppm = scale->pxPerMetre;
    // The horizontal labels name the world coordinate at each tile's left edge as the
    // picture shows it: mirrored views start at the upper end and the side views show
    // -u (the world's y).
    const ViewInfo* info = viewInfo(view);
    const bool mirrored = info && info->mirrored;
    const double sign = info && info->negatedAxis ? -1.0 : 1.0;
    const double h = sign * (mirrored ? log.extentMax[0] : log.extentMin[0]);
    const double step = mirrored != (sign < 0) ? -edge : edge;
    const QString unit = QStringLiteral(" m");
    for (int i = 0; i < log.tilesU; ++i) {
        const std::optional<int> x = pixel(i * edge * ppm + 45.0);
        if (x)
            labels.push_back({metreText(h + i * step) + unit, QPoint(*x, imageSize.height() - 15)});
    }
    for (int i = 0; i < log.tilesV; ++i) {
        const std::optional<int> y = pixel(imageSize.height() - 40.0 - i * edge * ppm);
        if (y)
            labels.push_back({metreText(log.extentMin[1] + i * edge) + unit, QPoint(10, *y)});
    }
    return labels;
}

std::vector<UnusedScanLine> unusedScanLines(const LayoutLogInfo& log, const OverviewInputs& inputs)
{
    std::vector<UnusedScanLine> lines;
    const qsizetype count = qsizetype(log.scanPoses.size());
    const auto line = [&inputs](qsizetype i, bool failed) {
        return UnusedScanLine{
            indexLabel(int(i)) + QLatin1Char(' ') + shortScanName(nameOf(inputs, i)), failed};
    };
    for (qsizetype i = 0; i < count; ++i)
        if (!flag(inputs.scanList, i))
            lines.push_back(line(i, false));
    for (qsizetype i = 0; i < count; ++i)
        if (flag(inputs.scanList, i) && !flag(inputs.usedFlags, i))
            lines.push_back(line(i, true));
    return lines;
}

std::optional<ScaleBar> scaleBar(double pxPerMetre, int sheetWidth)
{
    if (!std::isfinite(pxPerMetre) || pxPerMetre <= 0.0 || sheetWidth <= 0)
        return std::nullopt;
    const double target = sheetWidth / 5.0 / pxPerMetre;
    const int power = int(std::floor(std::log10(target)));
    ScaleBar best;
    int bestPower = power;
    double bestMiss = 0.0;
    for (int p = power - 1; p <= power + 1; ++p) {
        for (const int digit : {1, 2, 5}) {
            const double metres = digit * std::pow(10.0, p);
            const double miss = std::abs(std::log(metres / target));
            if (best.metres == 0.0 || miss < bestMiss) {
                best.metres = metres;
                bestMiss = miss;
                bestPower = p;
            }
        }
    }
    const double pixels = std::round(best.metres * pxPerMetre);
    if (!std::isfinite(pixels) || pixels < 1.0 || pixels > sheetWidth)
        return std::nullopt;
    best.pixels = int(pixels);
    best.text =
        inNotation(QString::number(best.metres, 'f', std::max(0, -bestPower)), textLocale()) +
        QStringLiteral(" m");
    return best;
}

QStringList sheetTitleLines(const LayoutLogInfo& log, const OverviewInputs& inputs,
                            const QDate& date)
{
    QStringList lines;
    const QString name = QFileInfo(log.path).completeBaseName();
    if (!name.isEmpty())
        lines << QCoreApplication::translate("OverviewSheet", "Layout: %1").arg(name);
    const ViewInfo* info = viewInfo(inputs.view);
    lines << QCoreApplication::translate("OverviewSheet", "View: %1")
                 // The batch list's translations of the view names.
                 .arg(info ? QCoreApplication::translate("orthaven::BatchLayout", info->name)
                           : QString::number(inputs.view));
    const LayoutFrame frame{log.azimuth};
    if (frame.isTurned())
        lines << QCoreApplication::translate("OverviewSheet", "Azimuth: %1°")
                     .arg(inNotation(QString::number(log.azimuth, 'g', 9), textLocale()));
    lines << QCoreApplication::translate("OverviewSheet", "Clipping planes: %1 m to %2 m (%3)")
                 .arg(metreText(log.clipLow), metreText(log.clipHigh),
                      info ? depthAxis(*info, frame) : QString());
    lines << QCoreApplication::translate("OverviewSheet", "Resolution: %1 m per pixel")
                 .arg(formatUserReal(log.resolution, textLocale()));
    lines << QCoreApplication::translate("OverviewSheet", "Tile size: %1 m")
                 .arg(metreText(log.tileSize));
    lines << QCoreApplication::translate("OverviewSheet", "Layer: %1").arg(layerName(log.layer));
    int used = 0;
    const qsizetype count = qsizetype(log.scanPoses.size());
    for (qsizetype i = 0; i < count; ++i)
        used += flag(inputs.scanList, i) && flag(inputs.usedFlags, i) ? 1 : 0;
    lines << QCoreApplication::translate("OverviewSheet", "Scans used: %1 of %2")
                 .arg(used)
                 .arg(count);
    if (log.printScale > 0)
        lines << QCoreApplication::translate("OverviewSheet", "Print scale of the tiles: 1:%1")
                     .arg(log.printScale);
    lines
        << QCoreApplication::translate("OverviewSheet", "Date: %1").arg(date.toString(Qt::ISODate));
    return lines;
}

SheetStrip sheetStrip(QSize drawingSize, const ScaleBar& bar, const QStringList& lines,
                      const QFontMetrics& metrics)
{
    constexpr int margin = 45; // from the sheet's edges, as its other texts keep
    constexpr int pad = 25;    // above and below the strip's contents
    constexpr int gap = 50;    // between the bar and the block, and between columns
    constexpr int barHeight = 14;
    const int width = drawingSize.width();
    const int lineStep = metrics.height() + 6;
    const int barZoneWidth = bar.pixels + metrics.horizontalAdvance(bar.text) / 2 + 1;
    const int barZoneHeight = metrics.height() + 8 + barHeight;

    SheetStrip strip;
    strip.lines = lines;
    int columnWidth = 1;
    for (const QString& line : lines)
        columnWidth = std::max(columnWidth, metrics.horizontalAdvance(line) + 1);
    const int count = std::max(1, int(lines.size()));
    // Beside the bar when a column fits there, otherwise under it, in as many columns as
    // the width holds.
    const int besideWidth = width - 2 * margin - barZoneWidth - gap;
    const bool beside = besideWidth >= columnWidth;
    const int blockWidth = beside ? besideWidth : std::max(1, width - 2 * margin);
    const int columns = std::clamp((blockWidth + gap) / (columnWidth + gap), 1, count);
    if (columnWidth > blockWidth) {
        columnWidth = blockWidth;
        for (QString& line : strip.lines)
            line = metrics.elidedText(line, Qt::ElideRight, blockWidth);
    }
    const int rows = (count + columns - 1) / columns;
    const int usedWidth = columns * columnWidth + (columns - 1) * gap;
    const int blockHeight = rows * lineStep;
    const int top = drawingSize.height() + pad;
    const int blockTop = beside ? top : top + barZoneHeight + pad;
    const int blockLeft = beside ? width - margin - usedWidth : margin;
    const int contentHeight =
        beside ? std::max(barZoneHeight, blockHeight) : barZoneHeight + pad + blockHeight;

    strip.area = QRect(0, drawingSize.height(), width, contentHeight + 2 * pad);
    strip.bar = QRect(margin, top + metrics.height() + 8, bar.pixels, barHeight);
    strip.block = QRect(blockLeft, blockTop, usedWidth, blockHeight);
    for (int i = 0; i < int(strip.lines.size()); ++i)
        strip.lineBaseline.emplace_back(blockLeft + (i / rows) * (columnWidth + gap),
                                        blockTop + (i % rows) * lineStep + metrics.ascent());
    return strip;
}

QString metreText(double metres)
{
    if (!std::isfinite(metres))
        return QString::number(metres);
    QString text = QString::number(metres, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return inNotation(text, textLocale());
}

std::vector<PlacedLabel> placeMarkerLabels(const std::vector<ScanMarker>& markers,
                                           const QFontMetrics& metrics, QSize imageSize,
                                           const std::vector<QRect>& keepClear)
{
    constexpr int margin = 5;  // between a label and the picture's edge
    constexpr int gap = 4;     // between two labels
    constexpr int offset = 15; // from the marker's centre to its label, as the sheet had it
    constexpr int discHalf = 11;
    const QRect inside(QPoint(margin, margin),
                       QPoint(imageSize.width() - 1 - margin, imageSize.height() - 1 - margin));
    const int lineHeight = metrics.height();

    std::vector<QRect> taken = keepClear;
    std::vector<QRect> discs; // of the markers, by position in markers
    for (const ScanMarker& m : markers)
        discs.emplace_back(m.centre - QPoint(discHalf, discHalf),
                           QSize(2 * discHalf + 1, 2 * discHalf + 1));

    // A box of the label's size with its top left at topLeft, pushed inside the picture.
    const auto boxAt = [&inside](QPoint topLeft, QSize size) {
        QRect box(topLeft, size);
        if (box.right() > inside.right())
            box.moveRight(inside.right());
        if (box.left() < inside.left())
            box.moveLeft(inside.left());
        if (box.bottom() > inside.bottom())
            box.moveBottom(inside.bottom());
        if (box.top() < inside.top())
            box.moveTop(inside.top());
        return box;
    };
    // Clear of what is taken and of the other markers' discs (a label beside its own
    // marker does not touch it).
    const auto isFree = [&taken, &discs](const QRect& box, std::size_t own) {
        const QRect padded = box.adjusted(-gap, -gap, gap, gap);
        for (const QRect& other : taken) {
            if (padded.intersects(other))
                return false;
        }
        for (std::size_t k = 0; k < discs.size(); ++k) {
            if (k != own && padded.intersects(discs[k]))
                return false;
        }
        return true;
    };

    std::vector<PlacedLabel> placed;
    for (std::size_t own = 0; own < markers.size(); ++own) {
        const ScanMarker& m = markers[own];
        PlacedLabel label;
        label.index = m.index;
        label.marker = m.centre;
        label.text = metrics.elidedText(m.label, Qt::ElideMiddle, std::max(1, inside.width() - 2));
        const QSize size(metrics.horizontalAdvance(label.text) + 1, lineHeight);
        const QPoint c = m.centre;
        // Below right (where the sheet always put it), above right, below left, above left.
        const QPoint near[] = {
            {c.x() + offset, c.y() + offset - metrics.ascent()},
            {c.x() + offset, c.y() - offset - size.height()},
            {c.x() - offset - size.width(), c.y() + offset - metrics.ascent()},
            {c.x() - offset - size.width(), c.y() - offset - size.height()},
        };
        std::optional<QRect> chosen;
        for (const QPoint& topLeft : near) {
            const QRect box = boxAt(topLeft, size);
            if (isFree(box, own)) {
                chosen = box;
                break;
            }
        }
        // Stacked: one line further down, then up, and so on, on the right of the marker
        // and then on its left.
        const int steps = imageSize.height() / std::max(1, lineHeight + gap) + 1;
        for (int k = 1; !chosen && k <= steps; ++k) {
            for (const QPoint& start : {near[0], near[2]}) {
                for (const int direction : {1, -1}) {
                    const QRect box =
                        boxAt(start + QPoint(0, direction * k * (lineHeight + gap)), size);
                    if (!chosen && isFree(box, own))
                        chosen = box;
                }
            }
        }
        // No free place at all (a picture crowded with labels): the usual one, inside.
        label.box = chosen.value_or(boxAt(near[0], size));
        label.baseline = QPoint(label.box.left(), label.box.top() + metrics.ascent());
        label.moved = !label.box
                           .adjusted(-offset - discHalf, -offset - discHalf, offset + discHalf,
                                     offset + discHalf)
                           .contains(c);
        taken.push_back(label.box);
        placed.push_back(label);
    }
    return placed;
}

void drawScanMarkers(const LayoutLogInfo& log, const OverviewInputs& inputs, bool withLabels,
                     const QImage& image, QPainter& painter, const std::vector<QRect>& keepClear)
{
    setFontPixelSize(painter, 40);
    // Every circle keeps the caller's outline.
    const QPen outline = painter.pen();
    const std::vector<ScanMarker> markers = scanMarkers(log, inputs, image.size());
    for (const ScanMarker& marker : markers) {
        painter.setPen(outline);
        painter.setBrush(
            QBrush(marker.used ? inputs.config.scanPosColor1 : inputs.config.scanPosColor2,
                   Qt::SolidPattern));
        painter.drawEllipse(QRect(marker.centre.x() - 10, marker.centre.y() - 10, 21, 21));
    }
    if (withLabels) {
        const std::vector<PlacedLabel> labels =
            placeMarkerLabels(markers, painter.fontMetrics(), image.size(), keepClear);
        painter.setBrush(QBrush(QColor(0, 0, 0, 192), Qt::SolidPattern));
        painter.setPen(QColor(0, 0, 0, 128));
        for (const PlacedLabel& label : labels) {
            if (label.moved) {
                // From the marker's rim to the nearest point of its label.
                const QPointF target(
                    std::clamp(label.marker.x(), label.box.left(), label.box.right()),
                    std::clamp(label.marker.y(), label.box.top(), label.box.bottom()));
                const QLineF line(QPointF(label.marker), target);
                if (line.length() > 11.0) {
                    QLineF fromRim = line;
                    fromRim.setP1(line.pointAt(11.0 / line.length()));
                    painter.drawLine(fromRim);
                }
            }
            painter.drawText(label.baseline, label.text);
        }
    }
    painter.setPen(outline);
}

void drawGrid(QPainter& painter, const QImage& image, const LayoutLogInfo& log,
              const OverviewInputs& inputs)
{
    const std::optional<OverviewScale> scale = overviewScale(log, image.width());
    if (!scale)
        return;
    const double edge = scale->tileEdge;
    const double ppm = scale->pxPerMetre;
    const double width = image.width();
    const double height = image.height();

    const QColor grid =
        inputs.invertColor ? invertedOpaque(inputs.config.gridColor) : inputs.config.gridColor;
    painter.setBrush(QBrush(grid, Qt::SolidPattern));
    painter.setPen(grid);
    // Drawn through the pixel centres, so a line fills exactly the first pixel column (or
    // row) of the tile that starts there instead of smearing over two.
    const auto vertical = [&](double x) {
        if (const std::optional<int> column = pixel(x))
            painter.drawLine(QLineF(*column + 0.5, 0.0, *column + 0.5, height));
    };
    const auto horizontal = [&](double y) {
        if (const std::optional<int> row = pixel(y))
            painter.drawLine(QLineF(0.0, *row + 0.5, width, *row + 0.5));
    };
    // Lines every 5 m; closer than a pixel apart they would only paint the picture over.
    if (5.0 * ppm >= 1.0) {
        for (int k = 0; k <= log.tilesU * edge / 5.0; ++k)
            vertical(k * 5.0 * ppm);
        for (int k = 0; k <= log.tilesV * edge / 5.0; ++k)
            horizontal(k * ppm * 5.0);
    }
    for (int k = 0; k <= log.tilesU; ++k)
        vertical(k * ppm * edge);
    for (int k = 0; k <= log.tilesV; ++k)
        horizontal(k * ppm * edge);

    const QColor text =
        inputs.invertColor ? invertedOpaque(inputs.config.textColor) : inputs.config.textColor;
    painter.setBrush(QBrush(text, Qt::SolidPattern));
    painter.setPen(text);
    for (const GridLabel& label : gridLabels(log, inputs.view, image.size()))
        painter.drawText(label.position, label.text);
}

std::optional<QLineF> gridNorthArrow(const LayoutLogInfo& log, std::uint32_t view, QSize imageSize,
                                     int length)
{
    const LayoutFrame frame{log.azimuth};
    if (view != Top || !frame.isTurned() || length <= 0)
        return std::nullopt;
    // The project's +Y in the frame is (sin, cos); picture rows run downward.
    const QPointF direction(frame.sine(), -frame.cosine());
    const QPointF centre(imageSize.width() - arrowInset - length / 2.0, arrowInset + length / 2.0);
    return QLineF(centre - direction * (length / 2.0), centre + direction * (length / 2.0));
}

void drawGridNorthArrow(const QLineF& arrow, QPainter& painter)
{
    painter.drawLine(arrow);
    const QPointF along = (arrow.p2() - arrow.p1()) / arrow.length();
    const QPointF across(-along.y(), along.x());
    const double head = 0.3 * arrow.length();
    const QPointF tip[] = {arrow.p2(), arrow.p2() - along * head + across * head / 3.0,
                           arrow.p2() - along * head - across * head / 3.0};
    painter.drawConvexPolygon(tip, 3);
    const QFontMetrics metrics = painter.fontMetrics();
    const QString label = QStringLiteral("Y");
    const QPointF centre = arrow.p2() + along * (metrics.height() * 0.8);
    painter.drawText(QPointF(centre.x() - metrics.horizontalAdvance(label) / 2.0,
                             centre.y() + metrics.ascent() / 2.0 - metrics.descent() / 2.0),
                     label);
}

void drawCoordinateSymbol(int baselineY, int size, bool reversed, const QString& hLabel,
                          const QString& vLabel, QPainter& painter)
{
    const double x0 = reversed ? size + 90.0 : 90.0;
    const double d = reversed ? -1.0 : 1.0;
    const double e = size * d;
    const double b = baselineY;
    painter.drawLine(QLineF(x0, b, x0 + e, b));
    painter.drawLine(QLineF(x0, b, x0, b - size));

    const QFontMetrics metrics = painter.fontMetrics();
    const int fontHeight = metrics.height();
    double w = metrics.horizontalAdvance(hLabel);
    if (reversed)
        w *= 2.0;
    painter.drawText(QPointF(x0 + (size + w) * d, b + fontHeight / 2 - 3), hLabel);
    painter.drawText(QPointF(x0 - metrics.horizontalAdvance(vLabel) / 2, b - fontHeight - size),
                     vLabel);

    const QPointF verticalTip[] = {{x0, b - size},
                                   {x0 - 0.1 * e, b - size + 0.3 * size},
                                   {x0 + 0.1 * e, b - size + 0.3 * size}};
    painter.drawConvexPolygon(verticalTip, 3);
    const QPointF horizontalTip[] = {
        {x0 + e, b}, {x0 + e - 0.3 * e, b - 0.1 * size}, {x0 + e - 0.3 * e, b + 0.1 * size}};
    painter.drawConvexPolygon(horizontalTip, 3);
}

bool drawScanPositionSheet(const QString& logPath, const QString& hLabel, const QString& vLabel,
                           const OverviewInputs& inputs, QString* writeFailure)
{
    const std::optional<OverviewSource> source = loadOverviewSource(logPath);
    return source && drawScanPositionSheet(*source, hLabel, vLabel, inputs, writeFailure);
}

bool drawScanPositionSheet(const OverviewSource& source, const QString& hLabel,
                           const QString& vLabel, const OverviewInputs& inputs,
                           QString* writeFailure)
{
    const QString& logPath = source.logPath;
    const LayoutLogInfo& log = source.log;
    const bool inkWhite = inputs.invertColor;

    // The drawing: the faded thumbnail with the markers, list and symbol.
    QImage sheet(source.thumbnail.size(), QImage::Format_RGB32);
    if (sheet.isNull()) {
        diag::error("Could not create the scan position sheet");
        return false;
    }
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(0.5);
    painter.drawImage(0, 0, source.thumbnail);
    painter.setOpacity(1.0);

    setFontPixelSize(painter, 25);
    painter.setPen(ink(inkWhite));
    drawBranding(painter);

    // The labels keep clear of the sheet's own texts: logo and caption, the list of unused
    // scans and the coordinate symbol.
    const QRect captionBox(captionAt.x(), captionAt.y() - painter.fontMetrics().ascent(),
                           painter.fontMetrics().horizontalAdvance(caption()),
                           painter.fontMetrics().height());
    setFontPixelSize(painter, 40);
    const QFontMetrics listMetrics = painter.fontMetrics();
    const QString listTitle = QCoreApplication::translate("OverviewSheet", "List of unused scans");
    const std::vector<UnusedScanLine> unused = unusedScanLines(log, inputs);
    const int listWidth = std::max(1, sheet.width() - 2 * listTitleAt.x());
    int listRight = listTitleAt.x() + listMetrics.horizontalAdvance(listTitle);
    for (const UnusedScanLine& line : unused)
        listRight = std::max(listRight, listTitleAt.x() + listMetrics.horizontalAdvance(line.text));
    const int listBottom = listTop + int(unused.size() - 1) * listLineStep + listMetrics.descent();
    const int symbolSize = inputs.config.coordSystemSize;
    const int symbolBase = sheet.height() - symbolAboveBottom;
    std::vector<QRect> keepClear = {
        logoArea.united(captionBox),
        QRect(QPoint(listTitleAt.x(), listTitleAt.y() - listMetrics.ascent()),
              QPoint(std::min(listRight, listTitleAt.x() + listWidth),
                     std::max(listBottom, listTitleAt.y() + listMetrics.descent()))),
        QRect(QPoint(0, symbolBase - symbolSize - 2 * listMetrics.height()),
              QPoint(symbolSize + 2 * 90 + 2 * listMetrics.height(),
                     symbolBase + listMetrics.height())),
    };
    const std::optional<QLineF> north = gridNorthArrow(log, inputs.view, sheet.size(), symbolSize);
    if (north) {
        const int reach = symbolSize / 2 + 2 * listMetrics.height();
        const QPoint centre = north->center().toPoint();
        keepClear.emplace_back(centre - QPoint(reach, reach), centre + QPoint(reach, reach));
    }
    drawScanMarkers(log, inputs, true, sheet, painter, keepClear);

    painter.setBrush(QBrush(QColor(0, 0, 0, 128), Qt::SolidPattern));
    const QColor listInk = ink(inkWhite, 128);
    painter.setPen(listInk);
    painter.drawText(listTitleAt, listTitle);
    int y = listTop;
    for (const UnusedScanLine& line : unused) {
        painter.setPen(line.failedToLoad ? QColor(255, 0, 0, 128) : listInk);
        painter.drawText(QPoint(listTitleAt.x(), y),
                         listMetrics.elidedText(line.text, Qt::ElideMiddle, listWidth));
        y += listLineStep;
    }

    painter.setPen(ink(inkWhite));
    drawCoordinateSymbol(sheet.height() - symbolAboveBottom, inputs.config.coordSystemSize,
                         symbolReversed(inputs.view), hLabel, vLabel, painter);
    if (north) {
        painter.setBrush(QBrush(ink(inkWhite), Qt::SolidPattern));
        drawGridNorthArrow(*north, painter);
    }
    QFont stripFont = painter.font(); // the strip writes in the sheet's font
    painter.end();

    // Under it, a strip with the scale bar and the title block, so neither hides anything
    // of the drawing however its layout is shaped.
    const QDate date = layoutDate(logPath, inputs);
    const QStringList lines = sheetTitleLines(log, inputs, date);
    const std::optional<OverviewScale> scale = overviewScale(log, sheet.width());
    const std::optional<ScaleBar> bar =
        scale ? scaleBar(scale->pxPerMetre, sheet.width()) : std::nullopt;
    stripFont.setPixelSize(stripFontPixels);
    const QFontMetrics stripMetrics(stripFont, &sheet);
    const SheetStrip strip =
        sheetStrip(sheet.size(), bar.value_or(ScaleBar{}), lines, stripMetrics);
    QImage page(sheet.width(), strip.area.bottom() + 1, QImage::Format_RGB32);
    if (page.isNull()) {
        diag::error("Could not create the scan position sheet");
        return false;
    }
    painter.begin(&page);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawImage(0, 0, sheet);
    sheet = QImage(); // only the page is needed from here on
    fillStripGround(painter, strip.area, inkWhite);
    painter.setFont(stripFont);
    painter.setPen(ink(inkWhite));
    painter.fillRect(QRect(strip.area.left(), strip.area.top(), strip.area.width(), 2),
                     ink(inkWhite));
    if (bar)
        drawScaleBar(painter, strip.bar, *bar);
    for (int i = 0; i < int(strip.lines.size()); ++i)
        painter.drawText(strip.lineBaseline[i], strip.lines[i]);
    painter.end();
    return save(scanPositionSheetPath(source.thumbnailPath), page, QStringLiteral("sheet"),
                writeFailure);
}

bool annotateThumbnail(const QString& logPath, const QString& hLabel, const QString& vLabel,
                       const OverviewInputs& inputs, QString* writeFailure)
{
    const std::optional<OverviewSource> source = loadOverviewSource(logPath);
    return source && annotateThumbnail(*source, hLabel, vLabel, inputs, writeFailure);
}

bool annotateThumbnail(const OverviewSource& source, const QString& hLabel, const QString& vLabel,
                       const OverviewInputs& inputs, QString* writeFailure)
{
    const LayoutLogInfo& log = source.log;
    const bool inkWhite = inputs.invertColor;
    QImage image = source.thumbnail; // drawn on a copy of its own

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    setFontPixelSize(painter, 25);

    painter.setBrush(QBrush(QColor(0, 0, 0, 128), Qt::SolidPattern));
    painter.setPen(ink(inkWhite));
    drawBranding(painter);

    if (inputs.config.grid)
        drawGrid(painter, image, log, inputs);

    painter.setPen(ink(inkWhite));
    drawScanMarkers(log, inputs, false, image, painter);

    painter.setBrush(QBrush(ink(inkWhite), Qt::SolidPattern));
    drawCoordinateSymbol(image.height() - symbolAboveBottom, inputs.config.coordSystemSize,
                         symbolReversed(inputs.view), hLabel, vLabel, painter);
    if (const auto north =
            gridNorthArrow(log, inputs.view, image.size(), inputs.config.coordSystemSize))
        drawGridNorthArrow(*north, painter);
    QFont stripFont = painter.font(); // the strip writes in the sheet's font
    painter.end();
    return save(source.thumbnailPath, image, QStringLiteral("annotated"), writeFailure);
}

} // namespace orthaven

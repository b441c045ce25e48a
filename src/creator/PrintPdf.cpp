#include "creator/PrintPdf.h"

#include "diag/Diagnostics.h"
#include "layoutlog/LogReader.h"
#include "platform/DurableFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace orthaven {

namespace {

constexpr int dotsPerInch = 1200; // the PDF's device units: 1 / 1200 inch

// Millimetres on the sheet in the writer's device units.
double dots(double millimetres)
{
    return millimetres * dotsPerInch / 25.4;
}

QRectF dots(const QRectF& millimetres)
{
    return {dots(millimetres.x()), dots(millimetres.y()), dots(millimetres.width()),
            dots(millimetres.height())};
}

QPointF dots(double x, double y)
{
    return {dots(x), dots(y)};
}

// Sheets along one edge: one when the layout fits, else as many as the shared strip needs.
int sheetsAlong(double layout, double area)
{
    if (layout <= area)
        return 1;
    return int(std::ceil((layout - PrintSheets::overlap) / (area - PrintSheets::overlap) - 1e-9));
}

QPageSize pageSize(const Paper& paper)
{
    static const QPageSize::PageSizeId ids[5] = {QPageSize::A0, QPageSize::A1, QPageSize::A2,
                                                 QPageSize::A3, QPageSize::A4};
    return QPageSize(ids[paper.size]);
}

// A bar of alternately filled and open sections of its exact length, with "0" and its
// length over its ends.
void drawScaleBar(QPainter& painter, const QRectF& bar, const ScaleBar& scale)
{
    const int sections =
        std::lround(scale.metres / std::pow(10.0, std::floor(std::log10(scale.metres)))) == 2 ? 4
                                                                                              : 5;
    const double step = bar.width() / sections;
    for (int i = 0; i < sections; i += 2)
        painter.fillRect(dots(QRectF(bar.left() + i * step, bar.top(), step, bar.height())),
                         Qt::black);
    painter.drawRect(dots(bar));
    const QFontMetricsF metrics = painter.fontMetrics();
    const double baseline = dots(bar.top() - 1.0);
    const QString zero = QStringLiteral("0");
    painter.drawText(QPointF(dots(bar.left()) - metrics.horizontalAdvance(zero) / 2, baseline),
                     zero);
    painter.drawText(
        QPointF(dots(bar.right()) - metrics.horizontalAdvance(scale.text) / 2, baseline),
        scale.text);
}

// The layout in small with the sheets' windows, the one shown filled.
void drawKey(QPainter& painter, const QRectF& area, const PrintSheets& sheets, int column, int row)
{
    const double scale =
        std::min(area.width() / sheets.layout.width(), area.height() / sheets.layout.height());
    const QRectF whole(area.left(), area.top(), sheets.layout.width() * scale,
                       sheets.layout.height() * scale);
    const auto inKey = [&](const QRectF& window) {
        const QRectF seen = window & QRectF(QPointF(0, 0), sheets.layout);
        return QRectF(whole.left() + seen.left() * scale, whole.top() + seen.top() * scale,
                      seen.width() * scale, seen.height() * scale);
    };
    painter.fillRect(dots(inKey(sheets.window(column, row))), QColor(200, 200, 200));
    for (int r = 0; r < sheets.rows; ++r)
        for (int c = 0; c < sheets.columns; ++c)
            painter.drawRect(dots(inKey(sheets.window(c, r))));
    painter.drawRect(dots(whole));
}

} // namespace

QRectF PrintSheets::window(int column, int row) const
{
    return {column * (drawing.width() - overlap), row * (drawing.height() - overlap),
            drawing.width(), drawing.height()};
}

PrintSheets printSheets(double widthMetres, double heightMetres, int scale, const Paper& paper)
{
    PrintSheets sheets;
    sheets.drawing =
        QRectF(PrintSheets::margin, PrintSheets::margin, paper.width() - 2 * PrintSheets::margin,
               paper.height() - 2 * PrintSheets::margin - PrintSheets::footer);
    sheets.footerArea = QRectF(PrintSheets::margin, sheets.drawing.bottom(), sheets.drawing.width(),
                               PrintSheets::footer);
    const double millimetresPerMetre = 1000.0 / scale;
    sheets.layout = QSizeF(widthMetres * millimetresPerMetre, heightMetres * millimetresPerMetre);
    if (scale <= 0 || !(sheets.layout.width() > 0.0) || !(sheets.layout.height() > 0.0) ||
        !std::isfinite(sheets.layout.width()) || !std::isfinite(sheets.layout.height()))
        return sheets;
    sheets.columns = sheetsAlong(sheets.layout.width(), sheets.drawing.width());
    sheets.rows = sheetsAlong(sheets.layout.height(), sheets.drawing.height());
    return sheets;
}

bool drawPrint(const QString& logPath, const QString& pdfPath, const Paper& paper, int scale,
               const OverviewInputs& inputs,
               const std::function<QString(const QString& tileName)>& tilePath,
               QString* writeFailure)
{
    if (!canDrawOverviewPictures()) {
        diag::warning("PDF skipped: drawing text needs a QGuiApplication");
        return false;
    }
    const LogReader reader(logPath);
    const LayoutLogInfo& log = reader.info();
    const int m = log.resolution > 0.0 ? int(log.tileSize / log.resolution) : 0;
    if (!reader.ok() || log.tilesU <= 0 || log.tilesV <= 0 || m <= 0 ||
        log.tileNames.size() < qsizetype(log.tilesU) * log.tilesV) {
        diag::error("PDF skipped: the layout log cannot be read: ", logPath.toStdString());
        return false;
    }
    // On paper: a tile's pixels, and a tile's step in the layout.
    const double millimetresPerMetre = 1000.0 / scale;
    const double pixel = log.resolution * millimetresPerMetre;
    const double step = log.tileSize * millimetresPerMetre;
    const PrintSheets sheets =
        printSheets((log.tilesU - 1) * log.tileSize + m * log.resolution,
                    (log.tilesV - 1) * log.tileSize + m * log.resolution, scale, paper);
    if (sheets.columns <= 0 || sheets.rows <= 0) {
        diag::error("PDF skipped: the layout gives no sheets at 1:", scale);
        return false;
    }
    const ViewInfo* view = viewInfo(std::uint32_t(log.view));
    const bool mirrored = view && view->mirrored;

    DurableFile file(pdfPath, QStringLiteral("pdf"));
    if (!file.open(QIODevice::WriteOnly)) {
        if (writeFailure)
            *writeFailure = file.failure();
        return false;
    }
    QPdfWriter writer(&file);
    writer.setResolution(dotsPerInch);
    writer.setTitle(QFileInfo(logPath).completeBaseName());
    writer.setCreator(QStringLiteral("Orthaven"));
    writer.setPageLayout(QPageLayout(
        pageSize(paper), paper.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(0, 0, 0, 0)));
    QPainter painter;
    if (!painter.begin(&writer)) {
        diag::error("PDF skipped: cannot paint on ", pdfPath.toStdString());
        return false;
    }
    // Pixels stay pixels: no smoothing, no JPEG.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    QFont font = painter.font();
    font.setPointSizeF(6.5);
    painter.setFont(font);
    const QFontMetricsF metrics(font, &writer);
    QPen pen(Qt::black);
    pen.setWidthF(dots(0.2));
    painter.setPen(pen);

    QStringList title = sheetTitleLines(log, inputs, layoutDate(logPath, inputs));
    title << QCoreApplication::translate("PrintPdf", "Printed at 1:%1 on %2")
                 .arg(scale)
                 .arg(paper.name());
    const std::optional<ScaleBar> bar = scaleBar(millimetresPerMetre, int(sheets.drawing.width()));
    const int count = sheets.columns * sheets.rows;
    bool drawn = true;
    for (int row = 0; row < sheets.rows && drawn; ++row) {
        for (int column = 0; column < sheets.columns && drawn; ++column) {
            const int page = row * sheets.columns + column;
            if (page > 0 && !writer.newPage()) {
                drawn = false;
                break;
            }
            // The tiles this sheet shows, each cut to the pixels it needs.
            const QRectF window = sheets.window(column, row);
            painter.save();
            painter.setClipRect(dots(sheets.drawing));
            for (int t = 0; t < log.tilesU * log.tilesV && drawn; ++t) {
                const int a = t / log.tilesV;
                const int b = t % log.tilesV;
                const QRectF onPaper((mirrored ? log.tilesU - 1 - a : a) * step,
                                     (log.tilesV - 1 - b) * step, m * pixel, m * pixel);
                const QRectF seen = onPaper & window;
                if (seen.isEmpty())
                    continue;
                const int c0 = std::max(0, int(std::floor((seen.left() - onPaper.left()) / pixel)));
                const int r0 = std::max(0, int(std::floor((seen.top() - onPaper.top()) / pixel)));
                const int c1 = std::min(m, int(std::ceil((seen.right() - onPaper.left()) / pixel)));
                const int r1 = std::min(m, int(std::ceil((seen.bottom() - onPaper.top()) / pixel)));
                const QImage tile(tilePath(log.tileNames[t]));
                if (tile.isNull() || c1 <= c0 || r1 <= r0) {
                    diag::error("PDF skipped: a tile cannot be read: ",
                                log.tileNames[t].toStdString());
                    drawn = false;
                    break;
                }
                const QRectF target(
                    sheets.drawing.left() + onPaper.left() + c0 * pixel - window.left(),
                    sheets.drawing.top() + onPaper.top() + r0 * pixel - window.top(),
                    (c1 - c0) * pixel, (r1 - r0) * pixel);
                painter.drawImage(dots(target), tile.copy(c0, r0, c1 - c0, r1 - r0));
            }
            painter.restore();
            painter.drawRect(dots(sheets.drawing));

            // The footer: the sheet's place and the scale bar, the key, the title block.
            const QRectF footer = sheets.footerArea;
            const double line = metrics.height() / dots(1.0) + 0.6; // millimetres
            painter.drawText(dots(footer.left(), footer.top() + 2 + line),
                             QCoreApplication::translate("PrintPdf",
                                                         "Sheet %1 of %2: column %3 of %4, row "
                                                         "%5 of %6")
                                 .arg(page + 1)
                                 .arg(count)
                                 .arg(column + 1)
                                 .arg(sheets.columns)
                                 .arg(row + 1)
                                 .arg(sheets.rows));
            if (bar)
                drawScaleBar(painter,
                             QRectF(footer.left() + 2, footer.top() + 4 + 3 * line,
                                    bar->metres * millimetresPerMetre, 2.0),
                             *bar);
            painter.drawText(dots(footer.left(), footer.bottom() - 2),
                             QStringLiteral("1:%1").arg(scale));
            const QRectF key(footer.left() + footer.width() * 0.36, footer.top() + 3,
                             footer.width() * 0.14, footer.height() - 5);
            drawKey(painter, key, sheets, column, row);
            const double left = key.right() + 4;
            const double columnWidth = (footer.right() - left) / 2;
            const int perColumn = int(title.size() + 1) / 2;
            for (int i = 0; i < title.size(); ++i) {
                const double x = left + (i / perColumn) * columnWidth;
                const double y = footer.top() + 2 + (i % perColumn + 1) * line;
                painter.drawText(dots(x, y), metrics.elidedText(title[i], Qt::ElideRight,
                                                                dots(columnWidth - 2)));
            }
        }
    }
    if (!painter.end() || !drawn) {
        if (drawn)
            diag::error("PDF skipped: it could not be finished: ", pdfPath.toStdString());
        return false;
    }
    if (!file.finish()) {
        diag::error("Could not write ", pdfPath.toStdString(), ": ", file.failure().toStdString());
        if (writeFailure)
            *writeFailure = file.failure();
        return false;
    }
    return true;
}

} // namespace orthaven

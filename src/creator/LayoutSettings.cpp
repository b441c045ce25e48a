#include "creator/LayoutSettings.h"

#include "diag/Diagnostics.h"
#include "engine/CoordinateSystem.h"
#include "layout/ImageFormats.h"
#include "layout/NumberText.h"

#include <cmath>
#include <optional>

namespace orthaven {

namespace {

bool fail(const char* message)
{
    diag::error(message);
    return false;
}

} // namespace

const std::array<int, 6>& printScaleChoices()
{
    static const std::array<int, 6> choices = {0, 20, 50, 100, 200, 500};
    return choices;
}

bool getLayoutSettings(const LayoutDialogState& state, layoutdef& job)
{
    if (state.inputPaths.isEmpty())
        return fail("getLayoutSettings: No Input Files");

    job.inputFiles.clear();
    for (const QString& path : state.inputPaths)
        job.inputFiles.append(path);

    job.outputFile = state.outputPath;

    // The dock offers the formats in the order of the table; the first is the default.
    const auto& formats = imageFormats();
    const bool known =
        state.imageTypeIndex >= 0 && std::size_t(state.imageTypeIndex) < formats.size();
    job.imageType = QLatin1String(formats[known ? std::size_t(state.imageTypeIndex) : 0].suffix);

    job.view = state.view;
    job.printScale = state.printScale;
    job.layer = state.layer;
    job.worldFiles = true; // tiny and harmless beside the tiles
    job.dxf = state.dxf;
    job.pdfPaper = state.printScale > 0 ? paperByName(state.pdfPaper) : std::nullopt;

    if (state.scanSelection.size() == 0)
        return fail("getLayoutSettings: Empty ScanList");
    job.scanList = state.scanSelection;

    const std::optional<double> upper = parseUserReal(state.upperText, state.locale);
    if (!upper)
        return fail("getLayoutSettings: clipHigh ");
    job.clipHigh = *upper;

    const std::optional<double> lower = parseUserReal(state.lowerText, state.locale);
    if (!lower)
        return fail("getLayoutSettings: clipLow ");
    job.clipLow = *lower;

    if (state.facade) {
        std::optional<double> p[4];
        for (int k = 0; k < 4; ++k)
            p[k] = parseUserReal(state.facadeTexts[std::size_t(k)], state.locale);
        if (!p[0] || !p[1] || !p[2] || !p[3])
            return fail("getLayoutSettings: facade ");
        const FacadeLine line{{*p[0], *p[1]}, {*p[2], *p[3]}};
        if (!line.isUsable())
            return fail("getLayoutSettings: facade ");
        setFacade(job, line, *lower, *upper);
    } else {
        const std::optional<double> azimuth = parseUserReal(state.azimuthText, state.locale);
        if (!azimuth)
            return fail("getLayoutSettings: azimuth ");
        job.azimuth = *azimuth;
        job.facade.reset();
    }
    // A plan's coordinate system, as PROJ names it; an elevation has none.
    job.crs.clear();
    if (job.view == Top && !job.facade && !state.crs.trimmed().isEmpty()) {
        const std::optional<CoordinateSystem> system = coordinateSystem(state.crs);
        if (!system)
            return fail("getLayoutSettings: crs ");
        job.crs = system->code;
    }

    takePreferences(state.config, job);
    return true;
}

void takePreferences(const ConfigSettings& c, layoutdef& job)
{
    job.invertColor = c.invertColor;
    job.resolution = c.resolution;
    job.scannerDomain = c.scannerDomain;
    job.tileSize = c.tileSize;
    job.grid = c.grid;
    job.gridColor = c.gridColor;
    job.textColor = c.textColor;
    job.scanPosColor1 = c.scanPosColor1;
    job.scanPosColor2 = c.scanPosColor2;
    job.coordSystemSize = c.coordSystemSize;
}

} // namespace orthaven

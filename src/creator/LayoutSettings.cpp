#include "creator/LayoutSettings.h"

#include "engine/ImageFormats.h"

#include <cmath>
#include <iostream>
#include <optional>

namespace orthaven {

namespace {

std::optional<double> toPlane(const QString& text)
{
    // QString's conversion is the C notation whatever the user's locale, and unlike
    // QLocale::c() it refuses "1,500": a decimal comma must not become a thousand.
    bool ok = false;
    const double value = text.toDouble(&ok);
    // "inf" and "nan" read as numbers, but no clipping plane can lie there.
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool fail(const char* message)
{
    std::cout << message << std::endl;
    return false;
}

} // namespace

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

    if (state.scanSelection.size() == 0)
        return fail("getLayoutSettings: Empty ScanList");
    job.scanList = state.scanSelection;

    const std::optional<double> upper = toPlane(state.upperText);
    if (!upper)
        return fail("getLayoutSettings: clipHigh ");
    job.clipHigh = *upper;

    const std::optional<double> lower = toPlane(state.lowerText);
    if (!lower)
        return fail("getLayoutSettings: clipLow ");
    job.clipLow = *lower;

    const ConfigSettings& c = state.config;
    job.invertColor = c.invertColor;
    job.resolution = c.resolution;
    job.scannerDomain = c.scannerDomain;
    job.tileSize = c.tileSize;
    job.grid = c.grid;
    job.gridColor = c.gridColor;
    job.textColor = c.textColor;
    job.scanPosColor1 = c.scanPosColor1;
    job.scanPosColor2 = c.scanPosColor2;
    return true;
}

} // namespace orthaven

#pragma once
// Validation of the Layout Creator dock's state into a complete layout job. The dock
// copies its widgets into a LayoutDialogState and calls getLayoutSettings, so the rules
// can be used (and tested) without the dock.

#include "layout/LayoutJob.h"
#include "settings/ConfigSettings.h"

#include <QBitArray>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace orthaven {

struct LayoutDialogState
{
    QStringList inputPaths; // the chosen input files, in the dialog's order
    QString outputPath;     // text of l_out
    int imageTypeIndex = 0; // current index of cb_imagetype: a row of imageFormats()
    int printScale = 0;     // the choice of cb_printscale: 50 for 1:50, 0 for none
    LayoutLayer layer = LayoutLayer::Density;  // the choice of cb_layer
    bool dxf = true;                           // chk_dxf is checked
    QString pdfPaper;                          // the paper of cb_pdf ("A3-landscape"); empty: none
    QString crs;                               // text of e_crs
    std::uint32_t view = Top;                  // the checked view radio button, a LayoutView
    QBitArray scanSelection;                   // one flag per listed scan; empty before a listing
    QString azimuthText = QStringLiteral("0"); // text of e_azimuth, degrees
    bool facade = false;                       // chk_facade is checked
    std::array<QString, 4> facadeTexts;        // e_facadeX1, e_facadeY1, e_facadeX2, e_facadeY2
    QString upperText;                         // text of e_upper
    QString lowerText;                         // text of e_lower
    ConfigSettings config;                     // the dock's copy of the configuration file
    QLocale locale;                            // the notation the user types numbers in
};

// Fills job from state. On the first failed check prints its line on standard output
// ("getLayoutSettings: No Input Files", "getLayoutSettings: Empty ScanList",
// "getLayoutSettings: clipHigh ", "getLayoutSettings: clipLow ", "getLayoutSettings:
// facade ", "getLayoutSettings: azimuth ", "getLayoutSettings: crs ") and returns false; the fields
// written before the failure keep their new values. Numbers are read in the user's notation as
// parseUserReal reads them (under German conventions "2,5" and "2.5" alike); blanks
// around them are allowed; infinities and NaN are refused like any other text that is not
// a number. With a facade the view is Front, the azimuth the line's, and the clipping
// texts are distances from the line (negative: in front of it); its points must lie at
// least FacadeLine::minimumLength apart. The PDF goes with a print scale only, and the
// coordinate system with plans only: an elevation is made without it.
bool getLayoutSettings(const LayoutDialogState& state, layoutdef& job);

// Copies what the preferences decide into job: colour inversion, resolution, scan radius,
// tile size, and the grid, colours and symbol size of the overview pictures. The job then
// runs and draws with them whatever the preferences become.
void takePreferences(const ConfigSettings& config, layoutdef& job);

// The print scales the dock offers after "none" (0): 1:20, 1:50, 1:100, 1:200, 1:500.
const std::array<int, 6>& printScaleChoices();

} // namespace orthaven

// The command line of orthaven-layout: what each option becomes and which texts are
// refused before any scan is read.

#include "cli/CommandLine.h"
#include "layout/LayoutJob.h"
#include "support/QtPrinters.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

using namespace orthaven;

namespace {

QStringList split(const char* text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

TEST(CommandLine, TakesEveryOptionInBothSpellings)
{
    CommandLine options;
    QString error;
    ASSERT_TRUE(parseCommandLine(split("a.ptx --view=Right --scans 0,2,5 --clip-low -3.5 "
                                       "--clip-high=1e1 --out out/site --type TIF "
                                       "--resolution 0.005 --domain=45 --tile 30 --invert "
                                       "b.ptx -v --threads 3 --memory=64 --print-scale 50 "
                                       "--no-world-files --no-dxf --pdf --paper=a1-LANDSCAPE"),
                                 options, error))
        << error.toStdString();
    EXPECT_EQ(options.inputFiles, (QStringList{"a.ptx", "b.ptx"}));
    EXPECT_EQ(options.view, std::uint32_t(Right));
    EXPECT_EQ(options.scans, (std::vector<int>{0, 2, 5}));
    EXPECT_EQ(options.clipLow, -3.5) << "a negative value after the option is its value";
    EXPECT_EQ(options.clipHigh, 10.0);
    EXPECT_EQ(options.outputFile, "out/site.log");
    EXPECT_EQ(options.imageType, "tif");
    EXPECT_EQ(options.resolution, 0.005);
    EXPECT_EQ(options.scannerDomain, 45.0);
    EXPECT_EQ(options.tileSize, 30.0);
    EXPECT_EQ(options.invertColor, true);
    EXPECT_TRUE(options.verbose);
    EXPECT_EQ(options.threads, 3);
    EXPECT_EQ(options.memoryMegabytes, 64);
    EXPECT_EQ(options.printScale, 50);
    EXPECT_FALSE(options.worldFiles);
    EXPECT_FALSE(options.dxf);
    EXPECT_TRUE(options.pdf);
    EXPECT_EQ(options.paper, (Paper{1, true}));
    ASSERT_TRUE(parseCommandLine(split("a.ptx --crs epsg:2056"), options, error));
    EXPECT_EQ(options.crs, "EPSG:2056") << "as PROJ names it";
}

TEST(CommandLine, AppendsLogOnlyWhenTheNameDoesNotEndInIt)
{
    const struct
    {
        const char* given;
        const char* expected;
    } cases[] = {
        {"plan", "plan.log"},
        {"plan.log", "plan.log"},
        {"PLAN.LOG", "PLAN.LOG.log"}, // compared as written, like the Layout Creator
        {"site.final", "site.final.log"},
    };
    for (const auto& c : cases) {
        CommandLine options;
        QString error;
        ASSERT_TRUE(parseCommandLine({"a.ptx", "--out", c.given}, options, error))
            << error.toStdString();
        EXPECT_EQ(options.outputFile, QString::fromUtf8(c.expected)) << c.given;
    }
}

TEST(CommandLine, LaterOptionsWinAndDashDashEndsThem)
{
    CommandLine options;
    QString error;
    ASSERT_TRUE(parseCommandLine(split("--invert --view left --no-invert --view front -- "
                                       "--odd-name.ptx"),
                                 options, error))
        << error.toStdString();
    EXPECT_EQ(options.invertColor, false);
    EXPECT_EQ(options.view, std::uint32_t(Front));
    EXPECT_EQ(options.inputFiles, QStringList{"--odd-name.ptx"});
}

TEST(CommandLine, RefusesWhatNoJobCanUse)
{
    const struct
    {
        const char* arguments;
        const char* message;
    } cases[] = {
        {"", "no scan files given"},
        {"--view top", "no scan files given"},
        {"a.ptx --frobnicate", "unknown option --frobnicate"},
        {"a.ptx -x", "unknown option -x"},
        {"a.ptx --list=yes", "--list takes no value"},
        {"a.ptx --out", "--out needs a value"},
        {"a.ptx --view sideways", "--view must be top, left, back, right or front"},
        {"a.ptx --type gif", "--type must be png, jpg or tif"},
        {"a.ptx --scans 0,x", "--scans needs scan numbers"},
        {"a.ptx --scans -1", "--scans needs scan numbers"},
        {"a.ptx --scans 1,,2", "--scans needs scan numbers"},
        {"a.ptx --clip-low abc", "--clip-low needs a number"},
        {"a.ptx --clip-high inf", "--clip-high needs a number"},
        {"a.ptx --clip-high 1,5", "--clip-high needs a number"}, // not a German decimal
        {"a.ptx --clip-low 5 --clip-high 5", "--clip-low must be below --clip-high"},
        {"a.ptx --resolution 0", "--resolution needs metres per pixel"},
        {"a.ptx --resolution 11", "--resolution needs metres per pixel"},
        {"a.ptx --resolution nan", "--resolution needs metres per pixel"},
        {"a.ptx --domain -5", "--domain needs a scan radius"},
        {"a.ptx --tile 15", "--tile needs a whole multiple of 10 m"},
        {"a.ptx --print-scale 1:50", "--print-scale needs a scale"},
        {"a.ptx --print-scale 0", "--print-scale needs a scale"},
        {"a.ptx --tile 0", "--tile needs a whole multiple of 10 m"},
        {"a.ptx --tile 20.5", "--tile needs a whole multiple of 10 m"},
        {"a.ptx --threads 0", "--threads needs a number of threads from 1 to 1024"},
        {"a.ptx --threads two", "--threads needs a number of threads"},
        {"a.ptx --memory 0", "--memory needs a number of megabytes above 0"},
        {"a.ptx --memory 1.5", "--memory needs a number of megabytes"},
        {"--jobs j.txt --view left", "--jobs takes the options of every job from its file"},
        {"--jobs j.txt --view top", "--jobs takes the options of every job from its file"},
        {"--jobs j.txt a.ptx", "--jobs takes the options of every job from its file"},
        {"a.ptx -vx", "unknown option -vx"},
        {"a.ptx --clip-low=-1 --clip-high", "--clip-high needs a value"},
        {"a.ptx --azimuth 400", "--azimuth needs degrees from -360 to 360"},
        {"a.ptx --facade 1,2,3", "--facade needs two points X1,Y1,X2,Y2"},
        {"a.ptx --facade 1,2,1.005,2", "--facade needs two points"}, // under 1 cm apart
        {"a.ptx --facade 0,0,5,0 --azimuth 10", "--facade makes a front view along its line"},
        {"a.ptx --facade 0,0,5,0 --view top", "--facade makes a front view along its line"},
        {"a.ptx --pdf", "--pdf prints the layout at its print scale"},
        {"a.ptx --paper A3-landscape", "--paper chooses the paper of the PDF"},
        {"a.ptx --pdf --print-scale 50 --paper B5", "--paper must be A4-portrait, A4-landscape"},
        {"a.ptx --crs EPSG:4326", "--crs: EPSG:4326 (WGS 84) is not a projected coordinate"},
        {"a.ptx --crs EPSG:123456789", "--crs: EPSG:123456789 is not a coordinate system"},
        {"a.ptx --crs EPSG:25832 --view left", "--crs places plans"},
        {"a.ptx --crs EPSG:25832 --facade 0,0,5,0", "--crs places plans"},
        {"a.ptx --preview plan.bmp", "--preview needs a file ending in .png, .jpg, .tif"},
        {"a.ptx --list --levels", "--list cannot stand beside --levels or --preview"},
        {"--jobs j.txt --levels", "--jobs takes the options of every job from its file"},
    };
    for (const auto& c : cases) {
        CommandLine options;
        QString error;
        EXPECT_FALSE(parseCommandLine(split(c.arguments), options, error)) << c.arguments;
        EXPECT_TRUE(error.startsWith(QString::fromUtf8(c.message)))
            << c.arguments << ": " << error.toStdString();
    }
}

TEST(CommandLine, AFacadeIsAFrontViewAlongItsLineAndAnAzimuthTurnsTheFrame)
{
    CommandLine options;
    QString error;
    ASSERT_TRUE(parseCommandLine(split("a.ptx --facade=-1.5,2,3,2e1"), options, error))
        << error.toStdString();
    EXPECT_EQ(options.view, std::uint32_t(Front));
    EXPECT_EQ(options.facade, (FacadeLine{{-1.5, 2.0}, {3.0, 20.0}}));
    ASSERT_TRUE(parseCommandLine(split("a.ptx --view left --azimuth=-27.5"), options, error));
    EXPECT_EQ(options.azimuth, -27.5);
    EXPECT_FALSE(options.facade);
}

TEST(CommandLine, ThreadsAndMemoryMayStandBesideAJobFile)
{
    CommandLine options;
    QString error;
    ASSERT_TRUE(parseCommandLine(split("--threads 2 --jobs j.txt --memory 100 -v"), options, error))
        << error.toStdString();
    EXPECT_EQ(options.jobFile, "j.txt");
    EXPECT_EQ(options.threads, 2);
    EXPECT_EQ(options.memoryMegabytes, 100);
    EXPECT_TRUE(options.verbose);
}

TEST(CommandLine, TheUsageTextAndTheManualNameTheSameOptions)
{
    // The manual's option table and the usage text (from which the man page is made) must
    // not drift apart.
    const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-z][a-z-]*"));
    const auto namesIn = [&](const QStringList& lines, const QString& start, const QString& end) {
        QSet<QString> names;
        for (const QString& line : lines) {
            if (!line.startsWith(start))
                continue;
            const QString first = line.left(line.indexOf(end, start.size()));
            for (const auto& match : option.globalMatch(first))
                names.insert(match.captured());
        }
        return names;
    };
    QFile manual(QStringLiteral(ORTHAVEN_SOURCE_DIR "/docs/orthaven-layout.md"));
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    const QSet<QString> documented =
        namesIn(QString::fromUtf8(manual.readAll()).split('\n'), "| `-", " |");
    const QSet<QString> usage = namesIn(usageText().split('\n'), "  -", "  ");
    EXPECT_EQ(documented, usage);
    EXPECT_TRUE(usage.contains("--no-invert") && usage.contains("-v")) << usage.size();
}

// The Layout Creator dock driven like a user would: real PTX files on disk, the file
// dialogs and message boxes answered by the scripted UserDialogs, the real task thread
// and engine behind Start and Stop.

#include "creator/BatchLayout.h"
#include "creator/Layout.h"
#include "creator/PlanView.h"
#include "creator/ProfileStrip.h"
#include "creator/ResultMessages.h"
#include "creator/ScanNameText.h"
#include "creator/SitePreviewPanel.h"
#include "engine/StatusReporter.h"
#include "genscan/GenScanJob.h"
#include "layout/LayoutLimits.h"
#include "layout/NumberText.h"
#include "layoutlog/LogReader.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "scan/ScanSourceFactory.h"
#include "support/CaptureDiagnostics.h"
#include "support/FakeScanSource.h"
#include "support/GermanTexts.h"
#include "support/QtPrinters.h"
#include "support/TempAppData.h"
#include "uikit/UserDialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryFile>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

using namespace orthaven;
using namespace orthaven::genscan;
using namespace orthaven::test;

namespace {

// One station at (x, y, z) looking at a 6 m × 6 m floor 1.2 m below it, 0.1 m apart.
QByteArray stationPtx(double x, double y, double z)
{
    const QByteArray t =
        QByteArray::number(x) + ' ' + QByteArray::number(y) + ' ' + QByteArray::number(z);
    QByteArray text =
        "60\n60\n" + t + "\n1 0 0\n0 1 0\n0 0 1\n1 0 0 0\n0 1 0 0\n0 0 1 0\n" + t + " 1\n";
    for (int c = 0; c < 60; ++c) {
        for (int r = 0; r < 60; ++r)
            text += QByteArray::number(-3.0 + 0.1 * c) + ' ' + QByteArray::number(-3.0 + 0.1 * r) +
                    " -1.2 0.5\n";
    }
    return text;
}

bool waitUntil(const std::function<bool()>& done)
{
    // Only a guard against a hang; nothing here depends on how long it takes.
    QDeadlineTimer deadline(std::chrono::minutes(2));
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

bool tempFolderIsEmpty()
{
    return QDir(tempFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot);
}

QStringList rowTexts(const QListWidget* list)
{
    QStringList texts;
    for (int r = 0; r < list->count(); ++r)
        texts.append(list->item(r)->text());
    return texts;
}

// Notes how the progress window looked when it was shown and whether it went again.
class ProgressWatch : public QObject
{
public:
    int shown = 0;
    bool modal = false;
    Qt::WindowModality modality = Qt::NonModal;
    QString title;
    QString groupTitle;
    QString label;
    bool indeterminate = false;
    bool hiddenAgain = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show) {
            ++shown;
            modal = window->isModal();
            modality = window->windowModality();
            title = window->windowTitle();
            groupTitle = window->findChild<QGroupBox*>()->title();
            label = window->findChild<QLabel*>()->text();
            const auto* bar = window->findChild<QProgressBar*>();
            indeterminate = bar->minimum() == 0 && bar->maximum() == 0 && !bar->isTextVisible();
            hiddenAgain = false;
        } else if (event->type() == QEvent::Hide) {
            hiddenAgain = true;
        }
        return false;
    }
};

// The user's notation while it lives, then the one before.
struct DefaultLocale
{
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(before); }
    QLocale before;
};

struct Dock : ::testing::Test
{
    TempAppData appData;
    std::unique_ptr<Layout> dock;

    void SetUp() override
    {
        ensureAppFolders();
        UserDialogs::clearScript();
    }
    void TearDown() override
    {
        // Every box is modal to the panel, so the window comes back to the front after it.
        for (const ShownMessage& m : UserDialogs::shownMessages()) {
            if (dock) {
                EXPECT_EQ(m.parent, dock.get()) << m.text.toStdString();
            }
        }
        dock.reset();
        UserDialogs::clearScript();
    }

    void writeConfig(double scannerDomain, double resolution, double tileSize)
    {
        ConfigSettings c = defaultConfig();
        c.scannerDomain = scannerDomain;
        c.resolution = resolution;
        c.tileSize = tileSize;
        ASSERT_TRUE(saveConfig(c, configFilePath()));
    }

    Layout& makeDock()
    {
        dock = std::make_unique<Layout>();
        dock->show();
        return *dock;
    }

    template <typename T> T* w(const char* name) const
    {
        auto* found = dock->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString textOf(const char* name) const
    {
        if (auto* edit = dock->findChild<QLineEdit*>(QString::fromLatin1(name)))
            return edit->text();
        return w<QLabel>(name)->text();
    }
    bool on(const char* group) const { return w<QGroupBox>(group)->isEnabled(); }
    void click(const char* button)
    {
        QTest::mouseClick(w<QAbstractButton>(button), Qt::LeftButton);
    }

    QString scanFile(const QString& name, const QByteArray& ptx)
    {
        return writeFile(appData.path() + "/scans/" + name, ptx);
    }
    void chooseInputs(const QStringList& files)
    {
        UserDialogs::setNextFileNames(files);
        click("b_ws");
    }
    void chooseOutput(const QString& path)
    {
        UserDialogs::setNextFileName(path);
        click("b_out");
    }
    QString outFolder()
    {
        QDir().mkpath(appData.path() + "/out");
        return appData.path() + "/out";
    }
    // Lists one real scan and names the output; the panel is then ready to start.
    QString prepareRun(const QString& logName = "site.log")
    {
        chooseInputs({scanFile("station.ptx", stationPtx(1, 2, 1.5))});
        const QString log = outFolder() + "/" + logName;
        chooseOutput(log);
        // The listed scan's preview pass reads it too; a run's test sees only the run.
        dock->previewTask().stopAndWait();
        return log;
    }
    bool waitForMessage()
    {
        return waitUntil([] { return !UserDialogs::shownMessages().isEmpty(); });
    }
    // The first message after a run: a success that names its folder and tiles.
    static bool succeeded()
    {
        return !UserDialogs::shownMessages().isEmpty() &&
               UserDialogs::shownMessages().first().text.startsWith(
                   "Computation successful!\n\nTiles written: ");
    }
    // The panel as it is after every computation: after a success a new output is needed;
    // after a failure or a stop (nothing written) the chosen one stays for the retry.
    void expectResetPanel(const QString& keptOutput = {})
    {
        for (const char* group : {"step1", "step2", "step3", "step4", "step5"})
            EXPECT_TRUE(on(group)) << group;
        EXPECT_EQ(on("step6"), !keptOutput.isEmpty());
        EXPECT_EQ(textOf("l_out"), keptOutput);
        EXPECT_EQ(textOf("sl_compstatus"), "");
        EXPECT_EQ(w<QProgressBar>("progressBar")->value(), 0);
        EXPECT_EQ(w<QPushButton>("b_start")->text(), "Start");
        EXPECT_FALSE(dock->layoutTask().isRunning());
    }
};

} // namespace

TEST_F(Dock, StartsWithOnlyTheFirstStepsOpen)
{
    makeDock();
    EXPECT_EQ(dock->objectName(), "Layout");
    EXPECT_EQ(dock->windowTitle(), "Layout Creator");
    auto* contents = w<QWidget>("dockWidgetContents");
    EXPECT_EQ(contents->minimumSize(), QSize(726, 370));

    struct Group
    {
        const char* name;
        const char* title;
        bool enabled;
    };
    const Group groups[] = {
        {"step1", "Step 1", true},        {"step2", "Step 2", false},
        {"step3", "Step 3", true},        {"step4", "Step 4", false},
        {"step5", "Step 5", false},       {"step6", "Final Step", false},
        {"groupBox_8", "Infobox", false},
    };
    for (const Group& g : groups) {
        EXPECT_EQ(w<QGroupBox>(g.name)->title(), g.title);
        EXPECT_EQ(on(g.name), g.enabled) << g.name;
    }

    // clang-format off
    const std::pair<const char*, const char*> texts[] = {
        {"label", "Select the Scan Workspace"}, {"l_ws", ""}, {"b_ws", "Browse"},
        {"label_4", "Select View"}, {"rb_top", "Top View x,y (Layout)"},
        {"rb_front", "Front View x,z"}, {"rb_left", "Left View -y,z"},
        {"rb_back", "Back View -x, z"}, {"rb_right", "Right View y, z"},
        {"label_3", "Select Scan Positions"}, {"sl_crop", "Clipping Planes"},
        {"sl_upper", "Top"}, {"label_9", "[m]"},
        {"sl_lower", "Bottom"}, {"label_11", "[m]"},
        {"label_2", "Layout/Section save as"}, {"l_out", ""}, {"b_out", "Browse"},
        {"label_6", "Image File Type"}, {"label_7", "Status"}, {"sl_compstatus", ""},
        {"b_batch", "Batch PlugIn not available"}, {"b_start", "Start"},
        {"label_5", "Scan Radius:"}, {"sl_scanrange", "30"}, {"label_15", "[m]"},
        {"label_12", "Tile Size:"}, {"sl_mosaicspace", "20 x 20"}, {"label_17", "[m]"},
        {"label_13", "Image Resolution:"}, {"sl_resolution", "10"}, {"label_19", "[mm]"},
    };
    // clang-format on
    for (const auto& [name, text] : texts) {
        auto* widget = w<QWidget>(name);
        QString shown;
        if (auto* edit = qobject_cast<QLineEdit*>(widget))
            shown = edit->text();
        else if (auto* label = qobject_cast<QLabel*>(widget))
            shown = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            shown = button->text();
        EXPECT_EQ(shown, text) << name;
    }

    // The planes' wide defaults in the window's notation ("100,0" in German).
    EXPECT_EQ(w<QLineEdit>("e_upper")->text(), QLocale().toString(100.0, 'f', 1));
    EXPECT_EQ(w<QLineEdit>("e_lower")->text(), QLocale().toString(-100.0, 'f', 1));
    EXPECT_TRUE(w<QLineEdit>("l_ws")->isReadOnly());
    EXPECT_TRUE(w<QLineEdit>("l_out")->isReadOnly());
    EXPECT_FALSE(w<QLineEdit>("l_out")->isEnabled());
    EXPECT_TRUE(w<QLineEdit>("e_upper")->alignment() & Qt::AlignRight);
    EXPECT_TRUE(w<QLineEdit>("e_lower")->alignment() & Qt::AlignRight);
    EXPECT_TRUE(w<QRadioButton>("rb_top")->isChecked());
    EXPECT_TRUE(w<QRadioButton>("rb_top")->autoExclusive());
    for (const char* rb : {"rb_front", "rb_left", "rb_back", "rb_right"}) {
        EXPECT_FALSE(w<QRadioButton>(rb)->isChecked()) << rb;
        EXPECT_EQ(w<QRadioButton>(rb)->parentWidget(), w<QWidget>("step2")) << rb;
    }
    auto* list = w<QListWidget>("w_tab");
    EXPECT_EQ(list->count(), 0);
    EXPECT_TRUE(list->alternatingRowColors());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::MultiSelection);

    auto* types = w<QComboBox>("cb_imagetype");
    ASSERT_EQ(types->count(), 3);
    EXPECT_EQ(types->itemText(0), "PNG (*.png)");
    EXPECT_EQ(types->itemText(1), "JPEG (*.jpg)");
    EXPECT_EQ(types->itemText(2), "Tiff (*.tif)");
    EXPECT_EQ(types->currentIndex(), 0);

    auto* bar = w<QProgressBar>("progressBar");
    EXPECT_EQ(bar->value(), 0);
    EXPECT_FALSE(bar->isTextVisible());
    EXPECT_FALSE(w<QPushButton>("b_batch")->isVisible());
    EXPECT_FALSE(w<QPushButton>("b_batch")->isEnabled());
}

TEST_F(Dock, ShowsEveryTextWholeAtItsDesignedSizeInEveryLanguage)
{
    for (const bool german : {false, true}) {
        SCOPED_TRACE(german ? "German" : "English");
        std::optional<GermanTexts> texts;
        if (german)
            texts.emplace();
        makeDock();
        dock->resize(730, 395);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dock.get()));
        const QWidget* contents = w<QWidget>("dockWidgetContents");
        for (QWidget* widget : contents->findChildren<QWidget*>()) {
            if (!widget->isVisible() ||
                (!qobject_cast<QLabel*>(widget) && !qobject_cast<QAbstractButton*>(widget)))
                continue;
            const std::string name = widget->objectName().toStdString();
            EXPECT_GE(widget->width(), widget->minimumSizeHint().width()) << name;
            const QRect inContents(widget->mapTo(contents, QPoint(0, 0)), widget->size());
            EXPECT_TRUE(contents->rect().contains(inContents)) << name;
        }
    }
}

TEST_F(Dock, ListsTheChosenScansBehindAModalProgressWindow)
{
    makeDock();
    const QString a = scanFile("a.ptx", stationPtx(0, 0, 1.5) + stationPtx(4, 1, 1.5));
    const QString b = scanFile("b.ptx", stationPtx(8, 0, 1.5));
    ProgressWatch watch;
    auto* progress = dock->findChild<QWidget*>("ProgressForm");
    ASSERT_NE(progress, nullptr);
    progress->installEventFilter(&watch);

    ASSERT_TRUE(QTest::qWaitForWindowActive(dock.get()));
    CaptureDiagnostics out;
    chooseInputs({b, a}); // the file dialog's order is kept
    // Typing goes on where it was: the panel is active again, its button in focus.
    EXPECT_TRUE(waitUntil([this] { return dock->isActiveWindow(); }));
    EXPECT_EQ(QApplication::focusWidget(), w<QWidget>("b_ws"));
    EXPECT_EQ(watch.shown, 1);
    EXPECT_TRUE(watch.modal);
    EXPECT_EQ(watch.modality, Qt::ApplicationModal);
    EXPECT_EQ(watch.title, "Progress ...");
    EXPECT_EQ(watch.groupTitle, "Scanning input files ...");
    EXPECT_EQ(watch.label, "please wait");
    EXPECT_TRUE(watch.indeterminate);
    EXPECT_TRUE(watch.hiddenAgain);
    EXPECT_FALSE(progress->isVisible());

    EXPECT_EQ(textOf("l_ws"), b);
    EXPECT_EQ(dock->inputFiles(),
              (QStringList{QDir::toNativeSeparators(b), QDir::toNativeSeparators(a)}));
    EXPECT_TRUE(out.lines().contains(QDir::toNativeSeparators(b)));
    EXPECT_TRUE(out.lines().contains(QDir::toNativeSeparators(a)));

    // Rows sorted by name, short, with the whole name as the tool tip; all checked and
    // checkable by the user.
    auto* list = w<QListWidget>("w_tab");
    EXPECT_EQ(rowTexts(list), (QStringList{"a.ptx (000)", "a.ptx (001)", "b.ptx (000)"}));
    const QStringList whole{a + " (000)", a + " (001)", b + " (000)"};
    for (int r = 0; r < list->count(); ++r) {
        EXPECT_EQ(list->item(r)->toolTip(), QDir::toNativeSeparators(whole[r]));
        EXPECT_EQ(list->item(r)->checkState(), Qt::Checked);
        EXPECT_TRUE(list->item(r)->flags() & Qt::ItemIsUserCheckable);
    }
    for (const char* group : {"step1", "step2", "step3", "step4", "step5"})
        EXPECT_TRUE(on(group)) << group;
    EXPECT_FALSE(on("step6"));
    EXPECT_TRUE(w<QLineEdit>("l_out")->isEnabled());
    EXPECT_TRUE(UserDialogs::shownMessages().isEmpty());

    // The rows stand for the scan indexes of the reader: b's scan is index 0.
    list->item(2)->setCheckState(Qt::Unchecked);
    layoutdef job;
    ASSERT_TRUE(dock->getLayoutSettings(job));
    QBitArray expected(3, true);
    expected.clearBit(0);
    EXPECT_EQ(job.scanList, expected);
}

TEST_F(Dock, ClippingDefaultsFollowTheCheckedScansAndTheView)
{
    writeConfig(1.0, 0.01, 20.0); // the extent is widened by one metre
    makeDock();
    chooseInputs({scanFile("two.ptx", stationPtx(0.5, 2.2, -1.3) + stationPtx(3.7, -0.4, 3.1))});
    // Depths -2.3 … 4.1 m after widening: whole metres and one more.
    EXPECT_EQ(textOf("e_lower"), "-4");
    EXPECT_EQ(textOf("e_upper"), "6");
    EXPECT_EQ(textOf("sl_lower"), "Bottom");
    EXPECT_EQ(textOf("sl_upper"), "Top");

    struct Case
    {
        const char* button;
        const char* lowerName;
        const char* upperName;
        const char* lower; // depth y for front and back, x for left and right
        const char* upper;
    };
    const Case cases[] = {
        {"rb_front", "Front", "Back", "-3", "5"}, {"rb_back", "Front", "Back", "-3", "5"},
        {"rb_left", "Left", "Right", "-2", "6"},  {"rb_right", "Left", "Right", "-2", "6"},
        {"rb_top", "Bottom", "Top", "-4", "6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        click(c.button);
        EXPECT_EQ(textOf("sl_lower"), c.lowerName);
        EXPECT_EQ(textOf("sl_upper"), c.upperName);
        EXPECT_EQ(textOf("e_lower"), c.lower);
        EXPECT_EQ(textOf("e_upper"), c.upper);
    }

    // Unchecking does not move the planes; the next view choice does.
    auto* list = w<QListWidget>("w_tab");
    list->item(0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(textOf("e_lower"), "-4");
    click("rb_top");
    EXPECT_EQ(textOf("e_lower"), "1"); // only the second station: 2.1 … 4.1
    EXPECT_EQ(textOf("e_upper"), "6");
    list->item(1)->setCheckState(Qt::Unchecked);
    click("rb_top");
    EXPECT_EQ(textOf("e_lower"), "-1");
    EXPECT_EQ(textOf("e_upper"), "1");

    // A frame turned a quarter looks along -x in the front view: depths -4.7 … 0.5 m.
    list->item(0)->setCheckState(Qt::Checked);
    list->item(1)->setCheckState(Qt::Checked);
    click("rb_front");
    w<QLineEdit>("e_azimuth")->setText("90");
    QTest::keyClick(w<QLineEdit>("e_azimuth"), Qt::Key_Return);
    EXPECT_EQ(textOf("e_lower"), "-6");
    EXPECT_EQ(textOf("e_upper"), "2");
    // A facade is a front view whose planes are distances from its line.
    click("chk_facade");
    EXPECT_EQ(textOf("e_lower"), "-2");
    EXPECT_EQ(textOf("e_upper"), formatUserReal(0.5, dock->locale())); // "0,5" in German
    EXPECT_FALSE(w<QRadioButton>("rb_top")->isVisible());
    w<QLineEdit>("e_facadeX2")->setText("-3");
    EXPECT_EQ(textOf("e_azimuth"), "180") << "the line's direction";
}

TEST_F(Dock, ACheckBoxAppliesToEverySelectedRow)
{
    makeDock();
    const QString file =
        scanFile("three.ptx", stationPtx(0, 0, 1) + stationPtx(1, 0, 1) + stationPtx(2, 0, 1));
    chooseInputs({file});
    auto* list = w<QListWidget>("w_tab");
    ASSERT_EQ(list->count(), 3);
    w<QLineEdit>("e_upper")->setText("17");

    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    list->item(2)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(list->item(1)->checkState(), Qt::Checked);
    EXPECT_EQ(list->item(2)->checkState(), Qt::Unchecked);
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_EQ(textOf("e_upper"), "17") << "the planes are not recomputed";

    layoutdef job;
    ASSERT_TRUE(dock->getLayoutSettings(job));
    QBitArray expected(3);
    expected.setBit(1);
    EXPECT_EQ(job.scanList, expected);

    // Checking one row without a selection changes that row only.
    list->item(0)->setCheckState(Qt::Checked);
    EXPECT_EQ(list->item(2)->checkState(), Qt::Unchecked);
    ASSERT_TRUE(dock->getLayoutSettings(job));
    expected.setBit(0);
    EXPECT_EQ(job.scanList, expected);
}

TEST_F(Dock, ScansOfTheSameNameShareOneRowThatStandsForTheLater)
{
    makeDock();
    const QString file = scanFile("same.ptx", stationPtx(0, 0, 1));
    chooseInputs({file, file});
    auto* list = w<QListWidget>("w_tab");
    EXPECT_EQ(rowTexts(list), QStringList{"same.ptx (000)"});
    layoutdef job;
    ASSERT_TRUE(dock->getLayoutSettings(job));
    QBitArray expected(2);
    expected.setBit(1);
    EXPECT_EQ(job.scanList, expected);
}

TEST_F(Dock, AChoiceThatCannotBeListedKeepsThePreviousOne)
{
    writeConfig(30.0, 0.05, 20.0);
    makeDock();
    const QString good = scanFile("good.ptx", stationPtx(0, 0, 1));
    chooseInputs({good});
    const QString out = outFolder() + "/keep.log";
    chooseOutput(out);
    const QStringList rows = rowTexts(w<QListWidget>("w_tab"));

    struct Case
    {
        QStringList files;
        QString message;
    };
    const QString riegl =
        "The Riegl API doesn't support a file path with non ASCII letters yet.\nPlease move "
        "your project to a different path with ASCII letters in the path only!";
    const QString unreadable = "The chosen files could not be read!\nPlease choose PTX, FARO, "
                               "Riegl, PTG, E57 or LAS scan files.";
    const QString projectFolder = appData.path() + QString::fromUtf8("/Проект");
    const Case cases[] = {
        {{appData.path() + "/scans/points.e57"}, unreadable},
        {{scanFile("empty.ptx", "")}, unreadable}, // no scan in it
        // The first file picks the PTX reader; the project behind it cannot be opened.
        {{good, writeFile(projectFolder + "/project.rsp", "<project/>")}, riegl},
        {{writeFile(projectFolder + "/site.RSP", "<project/>")}, riegl},
        // A FARO library error ends the listing, not the program; an upper-case ending
        // picks the FARO reader, which takes only ".fws".
        {{scanFile("broken.fws", "orthaven-fws 1\nfail = open 0x80004005\n")}, unreadable},
        {{scanFile("SITE.FWS", "orthaven-fws 1\n")}, unreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files.join(", ").toStdString());
        UserDialogs::clearScript();
        chooseInputs(c.files);
        EXPECT_EQ(UserDialogs::shownTexts(), QStringList{c.message});
        EXPECT_EQ(textOf("l_ws"), good);
        EXPECT_EQ(dock->inputFiles(), QStringList{QDir::toNativeSeparators(good)});
        EXPECT_EQ(rowTexts(w<QListWidget>("w_tab")), rows);
        EXPECT_EQ(textOf("l_out"), out);
        EXPECT_TRUE(on("step6"));
    }

    // The kept job still runs from the kept reader.
    UserDialogs::clearScript();
    click("b_start");
    ASSERT_TRUE(waitForMessage());
    EXPECT_EQ(UserDialogs::shownTexts().size(), 1);
    EXPECT_TRUE(succeeded()) << UserDialogs::shownTexts().join("|").toStdString();
    EXPECT_TRUE(QFileInfo::exists(out));
}

TEST_F(Dock, AScanLibraryErrorIsAFailedListingOrRunNeverACrash)
{
    // A FARO workspace of two stations whose library fails on one call of the second scan.
    GenScanOptions options;
    options.outputFolder = appData.path() + "/faro";
    options.format = "fws";
    options.stations = 2;
    options.pointsPerColumn = 40;
    options.columns = 80;
    GenScanJob generated(options);
    ASSERT_TRUE(generated.run()) << generated.errorText().toStdString();
    const QString workspace = generated.files().first();
    const QByteArray text = readFile(workspace);
    ASSERT_TRUE(text.contains("name = scan_001\n"));

    struct Case
    {
        const char* call;
        bool listed;      // names are asked for by the listing, poses and points by the run
        const char* door; // the start of the reader's error line, after "ScanSource::"
    };
    const QString unreadable = "The chosen files could not be read!\nPlease choose PTX, FARO, "
                               "Riegl, PTG, E57 or LAS scan files.";
    const QString runFailed =
        "Could not read the scans!\n\nThe scan files may be damaged or incomplete.";
    const Case cases[] = {{"name", false, "scanNames failed"},
                          {"position", true, "scanPose failed for scan 1"},
                          {"points", true, "readPoints failed for scan 1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        const QByteArray failure = QByteArray("fail = ") + c.call + " 0x80004005\n";
        writeFile(workspace,
                  QByteArray(text).replace("name = scan_001\n", "name = scan_001\n" + failure));
        makeDock();
        UserDialogs::clearScript();
        CaptureDiagnostics out;
        chooseInputs({workspace});
        if (!c.listed) {
            EXPECT_EQ(UserDialogs::shownTexts(), QStringList{unreadable});
        } else {
            EXPECT_TRUE(UserDialogs::shownTexts().isEmpty());
            EXPECT_EQ(rowTexts(w<QListWidget>("w_tab")),
                      QStringList({"scan_000.fls", "scan_001.fls"}));
            const QString log = outFolder() + "/faro.log";
            chooseOutput(log);
            click("b_start");
            ASSERT_TRUE(waitForMessage());
            EXPECT_EQ(UserDialogs::shownTexts(), QStringList{runFailed});
            EXPECT_FALSE(QFileInfo::exists(log));
            EXPECT_TRUE(tempFolderIsEmpty());
        }
        const QString line =
            "ScanSource::" + QString::fromLatin1(c.door) + ": FARO library error 0x80004005";
        const QStringList lines = out.lines();
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const QString& l) {
            return l.startsWith(line);
        })) << out.text();
        dock.reset();
    }
}

TEST_F(Dock, TheOutputNameEndsInLogAndIsLatin1)
{
    makeDock();
    chooseInputs({scanFile("one.ptx", stationPtx(0, 0, 1))});
    const QString folder = outFolder();

    UserDialogs::setNextFileNames({}); // cancelled
    click("b_out");
    EXPECT_EQ(textOf("l_out"), "");
    EXPECT_FALSE(on("step6"));

    const std::pair<QString, QString> names[] = {
        {folder + "/plan.log", folder + "/plan.log"},
        {folder + "/plan", folder + "/plan.log"},
        {folder + "/PLAN.LOG", folder + "/PLAN.LOG.log"},
        {folder + QString::fromUtf8("/Maß.log"), folder + QString::fromUtf8("/Maß.log")},
        // Only the file name itself must be Latin-1.
        {folder + QString::fromUtf8("/Проект/a.log"), folder + QString::fromUtf8("/Проект/a.log")},
    };
    for (const auto& [chosen, expected] : names) {
        chooseOutput(chosen);
        EXPECT_EQ(textOf("l_out"), expected);
    }
    for (const char* group : {"step4", "step5", "step6"})
        EXPECT_TRUE(on(group)) << group;
    EXPECT_FALSE(w<QPushButton>("b_batch")->isEnabled());
    EXPECT_FALSE(w<QPushButton>("b_batch")->isVisible());
    EXPECT_TRUE(UserDialogs::shownMessages().isEmpty());

    chooseOutput(folder + QString::fromUtf8("/Plan_Ω.log"));
    ASSERT_EQ(UserDialogs::shownMessages().size(), 1);
    EXPECT_EQ(UserDialogs::shownMessages()[0].icon, UserDialogs::Icon::Warning);
    EXPECT_EQ(UserDialogs::shownTexts().first(),
              QString::fromUtf8("The layout's file name may hold letters such as ß and ü, but no "
                                "characters beyond Latin-1:\nPlan_Ω.log\n\nPlease choose "
                                "another name!"));
    EXPECT_EQ(textOf("l_out"), folder + QString::fromUtf8("/Проект/a.log"));
}

TEST_F(Dock, StartRefusesPlanesThatBoundNothing)
{
    const DefaultLocale english(QLocale(QLocale::English, QLocale::UnitedKingdom));
    makeDock();
    prepareRun();
    const auto order = [](const char* low, const char* high) {
        return QString("Clipping Planes: Bottom (%1 m) must lie below Top (%2 m), or the layout "
                       "holds nothing!")
            .arg(low, high);
    };
    const auto noNumber = [](const char* text, const char* plane) {
        return QString("Clipping Planes: \"%1\" is not a number of metres for %2!")
            .arg(text, plane);
    };
    const struct
    {
        const char* lower;
        const char* upper;
        QString message;
    } planes[] = {
        {"5", "5", order("5", "5")},
        {"6", "5", order("6", "5")},
        {"abc", "5", noNumber("abc", "Bottom")},
        {"1", "", noNumber("", "Top")},
        {"-inf", "inf", noNumber("inf", "Top")},
        {"nan", "3", noNumber("nan", "Bottom")},
        {"1,5", "3", noNumber("1,5", "Bottom")}, // a decimal comma is no number in English
    };
    for (const auto& [lower, upper, message] : planes) {
        SCOPED_TRACE(std::string(lower) + " / " + upper);
        UserDialogs::clearScript();
        w<QLineEdit>("e_lower")->setText(lower);
        w<QLineEdit>("e_upper")->setText(upper);
        click("b_start");
        EXPECT_EQ(UserDialogs::shownTexts(), QStringList{message});
        EXPECT_FALSE(dock->layoutTask().isRunning());
        EXPECT_EQ(w<QPushButton>("b_start")->text(), "Start");
        EXPECT_TRUE(on("step1"));
    }
}

TEST_F(Dock, StartComputesTheLayoutAndResetsThePanel)
{
    writeConfig(30.0, 0.05, 20.0);
    makeDock();
    const QString log = prepareRun();
    w<QComboBox>("cb_imagetype")->setCurrentIndex(1);
    w<QLineEdit>("e_lower")->setText("-1e1");
    w<QLineEdit>("e_upper")->setText("2.5");
    QComboBox* scale = w<QComboBox>("cb_printscale");
    scale->setCurrentIndex(scale->findText("1:50"));
    QComboBox* layer = w<QComboBox>("cb_layer");
    layer->setCurrentIndex(layer->findData(int(LayoutLayer::Intensity)));
    QComboBox* pdf = w<QComboBox>("cb_pdf");
    EXPECT_TRUE(pdf->isEnabled()) << "a print scale is chosen";
    pdf->setCurrentIndex(pdf->findData("A3-landscape"));
    w<QCheckBox>("chk_dxf")->setChecked(false);
    w<QLineEdit>("e_crs")->setText("epsg:25832");

    ASSERT_TRUE(waitUntil([this] { return dock->isActiveWindow(); }));
    click("b_start");
    EXPECT_EQ(w<QPushButton>("b_start")->text(), "Stop");
    for (const char* group : {"step1", "step2", "step3", "step4", "step5"})
        EXPECT_FALSE(on(group)) << group;
    EXPECT_TRUE(on("step6"));
    EXPECT_EQ(dock->layoutTask().job.clipLow, -10.0);
    EXPECT_EQ(dock->layoutTask().job.clipHigh, 2.5);
    EXPECT_EQ(dock->layoutTask().job.imageType, "jpg");
    EXPECT_EQ(dock->layoutTask().job.resolution, 0.05);
    EXPECT_EQ(dock->layoutTask().job.printScale, 50);
    EXPECT_EQ(dock->layoutTask().job.layer, LayoutLayer::Intensity);
    EXPECT_EQ(dock->layoutTask().job.pdfPaper, (Paper{3, true}));
    EXPECT_EQ(dock->layoutTask().job.crs, "EPSG:25832");

    ASSERT_TRUE(waitForMessage());
    ASSERT_EQ(UserDialogs::shownMessages().size(), 1);
    EXPECT_EQ(UserDialogs::shownMessages()[0].title, "Information");
    // The message names the folder and the tiles that are really there.
    const QStringList tiles = QDir(outFolder())
                                  .entryList({"site_*.jpg"}, QDir::Files)
                                  .filter(QRegularExpression("_-?\\d+_-?\\d+\\.jpg$"));
    ASSERT_FALSE(tiles.isEmpty());
    EXPECT_EQ(UserDialogs::shownMessages()[0].text,
              QString("Computation successful!\n\nTiles written: %1\nFolder: %2")
                  .arg(tiles.size())
                  .arg(QDir::toNativeSeparators(outFolder())));
    EXPECT_TRUE(UserDialogs::openedFolders().isEmpty()) << "the offer was declined";
    expectResetPanel();
    EXPECT_TRUE(w<QPushButton>("b_out")->hasFocus()) << "the next step, not a greyed button";

    const LogReader reader(log);
    ASSERT_TRUE(reader.ok()) << reader.errorText().toStdString();
    EXPECT_EQ(reader.info().view, int(Top));
    EXPECT_EQ(reader.info().layer, "intensity");
    EXPECT_EQ(reader.info().printScale, 50);
    for (const QString& tile : tiles) // the dock always places its tiles
        EXPECT_TRUE(QFile::exists(outFolder() + "/" + QFileInfo(tile).completeBaseName() + ".jgw"))
            << tile.toStdString();
    EXPECT_FALSE(QImage(outFolder() + "/site_overview.jpg").isNull());
    EXPECT_TRUE(QFile::exists(outFolder() + "/site.pdf") &&
                QFile::exists(outFolder() + "/site.vrt"));
    EXPECT_FALSE(QFile::exists(outFolder() + "/site.dxf"));
    EXPECT_TRUE(tempFolderIsEmpty());
    // The choices of what goes beside the tiles are remembered, the preferences kept.
    ConfigSettings remembered = defaultConfig();
    ASSERT_TRUE(readConfig(configFilePath(), remembered));
    EXPECT_EQ(remembered.handOff, (HandOffChoices{false, "A3-landscape", "epsg:25832"}));
    EXPECT_EQ(remembered.resolution, 0.05);
}

// The choices remembered come back with the dock; the PDF waits for a print scale; a
// coordinate system that cannot describe the plan stops the start with its reason.
TEST_F(Dock, TakesBackWhatGoesBesideTheTilesAndRefusesAnUnusableSystem)
{
    ConfigSettings c = defaultConfig();
    c.handOff = {false, "A1-portrait", "EPSG:2056"};
    ASSERT_TRUE(saveConfig(c, configFilePath()));
    makeDock();
    EXPECT_FALSE(w<QCheckBox>("chk_dxf")->isChecked());
    EXPECT_EQ(w<QComboBox>("cb_pdf")->currentData().toString(), "A1-portrait");
    EXPECT_FALSE(w<QComboBox>("cb_pdf")->isEnabled());
    EXPECT_EQ(textOf("e_crs"), "EPSG:2056");

    prepareRun();
    w<QLineEdit>("e_crs")->setText("EPSG:4326");
    click("b_start");
    ASSERT_TRUE(waitForMessage());
    EXPECT_TRUE(UserDialogs::shownMessages()[0].text.startsWith(
        "The coordinate system cannot be used: EPSG:4326 (WGS 84) is not a projected"));
    EXPECT_FALSE(dock->layoutTask().isRunning());
}

TEST_F(Dock, StopEndsTheRunAsInterrupted)
{
    makeDock();
    const QString log = prepareRun();

    FakeScan scan;
    for (int i = 0; i < 200000; ++i)
        scan.points.push_back({1.0 + 0.00001 * i, 1.0, 0.0});
    auto fake = std::make_unique<FakeScanSource>(std::vector<FakeScan>{scan}, 10);
    fake->onChunk = [](int, int) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
    dock->layoutTask().reader = std::move(fake);

    click("b_start");
    ASSERT_TRUE(waitUntil([this] { return textOf("sl_compstatus") == "Loading Scan 1 of 1"; }));
    EXPECT_EQ(w<QProgressBar>("progressBar")->value(), 100);
    EXPECT_TRUE(dock->layoutTask().isRunning());
    click("b_start");
    ASSERT_TRUE(waitForMessage());
    ASSERT_EQ(UserDialogs::shownMessages().size(), 1);
    EXPECT_EQ(UserDialogs::shownMessages()[0].icon, UserDialogs::Icon::Information);
    EXPECT_EQ(UserDialogs::shownMessages()[0].text, "Computation interrupted!");
    expectResetPanel(log);
    EXPECT_TRUE(w<QPushButton>("b_start")->hasFocus()) << "ready to start again";
    EXPECT_FALSE(QFileInfo::exists(log));
    EXPECT_TRUE(tempFolderIsEmpty());
}

TEST_F(Dock, AStopThatComesAfterTheLastCheckpointFindsTheLayoutDone)
{
    makeDock();
    const QString log = prepareRun();
    // The run is held at its last checkpoint (after the log) while Stop is pressed.
    std::mutex lock;
    std::condition_variable changed;
    bool atLast = false;
    bool released = false;
    LayoutCreator& engine = dock->layoutTask().creator;
    engine.setCheckpointObserver([&] {
        if (engine.statusText() != "Write Log File")
            return;
        std::unique_lock<std::mutex> guard(lock);
        atLast = true;
        changed.wait(guard, [&released] { return released; });
    });
    click("b_start");
    ASSERT_TRUE(waitUntil([&] {
        const std::lock_guard<std::mutex> guard(lock);
        return atLast;
    }));
    click("b_start"); // Stop
    {
        const std::lock_guard<std::mutex> guard(lock);
        released = true;
    }
    changed.notify_all();

    ASSERT_TRUE(waitForMessage());
    EXPECT_EQ(UserDialogs::shownTexts().size(), 1);
    EXPECT_TRUE(succeeded());
    expectResetPanel();
    EXPECT_TRUE(LogReader(log).ok());
    EXPECT_FALSE(QImage(outFolder() + "/site_overview_scan_positions.png").isNull())
        << "the overview pictures are drawn";
}

TEST_F(Dock, AnOverviewPictureThatCannotBeWrittenIsAWarningBesideTheSuccess)
{
    makeDock();
    prepareRun();
    const QString sheet = outFolder() + "/site_overview_scan_positions.png";
    ASSERT_TRUE(QDir().mkpath(sheet)); // a folder stands where the sheet goes
    click("b_start");
    ASSERT_TRUE(waitForMessage());
    const QList<ShownMessage> shown = UserDialogs::shownMessages();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(succeeded());
    EXPECT_EQ(shown[1].title, "Warning");
    EXPECT_EQ(shown[1].text, overviewPicturesWarning({sheet}));
    EXPECT_TRUE(shown[1].text.contains(QDir::toNativeSeparators(sheet)));
    expectResetPanel();
}

TEST_F(Dock, FailedRunsAreReportedByTheirCode)
{
    struct Case
    {
        const char* what;
        double tileSize;
        const char* lower;
        const char* upper;
        bool logIsFolder;
        QString message;
    };
    const Case cases[] = {
        {"planes above every point", 20, "50", "60", false,
         "Not enough data between the clipping planes!\nWiden the clipping planes or use more "
         "scans!"},
        {"a log path taken by a folder", 20, "-10", "10", true, resultCodeMessage(LogFileAccess)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UserDialogs::clearScript();
        writeConfig(30.0, 0.05, c.tileSize);
        makeDock();
        const QString log = prepareRun(QStringLiteral("failed.log"));
        if (c.logIsFolder) {
            ASSERT_TRUE(QDir().mkpath(log));
        }
        w<QLineEdit>("e_lower")->setText(c.lower);
        w<QLineEdit>("e_upper")->setText(c.upper);
        click("b_start");
        ASSERT_TRUE(waitForMessage());
        ASSERT_EQ(UserDialogs::shownMessages().size(), 1);
        EXPECT_EQ(UserDialogs::shownMessages()[0].icon, UserDialogs::Icon::Critical);
        // A log path taken by a folder is named, with what stands there.
        EXPECT_EQ(UserDialogs::shownMessages()[0].text,
                  c.message + (c.logIsFolder ? "\n\n" + QDir::toNativeSeparators(log) +
                                                   ": a folder stands in its place"
                                             : QString()));
        expectResetPanel(log);
        EXPECT_TRUE(tempFolderIsEmpty());
        if (c.logIsFolder)
            QDir(log).removeRecursively();
        EXPECT_FALSE(QFileInfo::exists(log));
    }
}

TEST_F(Dock, NewPreferencesShowAtOnceAndKeepTheTypedPlanes)
{
    makeDock();
    chooseInputs({scanFile("one.ptx", stationPtx(0, 0, 1))});
    click("rb_left");
    w<QLineEdit>("e_lower")->setText("-7.5");
    w<QLineEdit>("e_upper")->setText("12");

    writeConfig(50.0, 0.02, 40.0);
    dock->preferencesChanged();
    EXPECT_EQ(textOf("sl_scanrange"), "50");
    EXPECT_EQ(textOf("sl_resolution"), "20");
    EXPECT_EQ(textOf("sl_mosaicspace"), "40 x 40");
    EXPECT_EQ(textOf("e_lower"), "-7.5");
    EXPECT_EQ(textOf("e_upper"), "12");
    EXPECT_EQ(textOf("sl_lower"), "Left");

    layoutdef job;
    ASSERT_TRUE(dock->getLayoutSettings(job));
    EXPECT_EQ(job.scannerDomain, 50.0);
    EXPECT_EQ(job.resolution, 0.02);
    EXPECT_EQ(job.tileSize, 40.0);
    EXPECT_EQ(job.view, std::uint32_t(Left));
    EXPECT_EQ(job.clipLow, -7.5);
}

TEST_F(Dock, HandsItsJobToAnAttachedBatchList)
{
    makeDock();
    BatchLayout batch;
    dock->setBatchList(&batch);
    auto* button = w<QPushButton>("b_batch");
    EXPECT_TRUE(button->isVisible());
    EXPECT_EQ(button->text(), "Add to Batch List");

    const QString log = prepareRun(QStringLiteral("front.log"));
    click("rb_front");
    w<QLineEdit>("e_lower")->setText("-1.5");
    w<QLineEdit>("e_upper")->setText("3");
    ASSERT_TRUE(button->isEnabled());
    click("b_batch");
    ASSERT_EQ(batch.batchJobs().size(), 1);
    EXPECT_EQ(batch.batchJobs()[0].outputFile, log);
    EXPECT_EQ(batch.batchJobs()[0].view, std::uint32_t(Front));
    auto* table = batch.findChild<QTableWidget*>("jobTable");
    EXPECT_EQ(table->item(0, 2)->text(), "-1.5/3");
    // The copy carries the preferences it was queued with; later ones do not reach it.
    const layoutdef queued = batch.batchJobs()[0];
    EXPECT_EQ(queued.gridColor, defaultConfig().gridColor);
    EXPECT_EQ(queued.coordSystemSize, defaultConfig().coordSystemSize);
    writeConfig(50.0, 0.02, 40.0);
    dock->preferencesChanged();
    EXPECT_EQ(batch.batchJobs()[0].resolution, queued.resolution);

    click("b_batch");
    EXPECT_EQ(UserDialogs::shownTexts(), QStringList{"Layout output file already in batch list!"});
    EXPECT_EQ(batch.batchJobs().size(), 1);

    UserDialogs::clearScript();
    w<QLineEdit>("e_upper")->setText("abc");
    click("b_batch");
    EXPECT_EQ(UserDialogs::shownTexts(),
              QStringList{"Clipping Planes: \"abc\" is not a number of metres for Back!"});

    // The button comes back after a computation and a new output choice.
    UserDialogs::clearScript();
    w<QLineEdit>("e_upper")->setText("3");
    click("b_start");
    EXPECT_FALSE(button->isEnabled());
    ASSERT_TRUE(waitForMessage());
    chooseOutput(outFolder() + "/second.log");
    EXPECT_TRUE(button->isEnabled());

    dock->setBatchList(nullptr);
    EXPECT_FALSE(button->isVisible());
}

TEST_F(Dock, ABatchListAtWorkLocksTheInputsAndTheStart)
{
    makeDock();
    const QString first = scanFile("first.ptx", stationPtx(0, 0, 1));
    chooseInputs({first});
    chooseOutput(outFolder() + "/locked.log");
    BatchLayout batch;
    dock->setBatchList(&batch);
    click("b_batch");
    // The run counts as processing until its end is taken in the event loop, which the
    // clicks below do not turn.
    QTest::mouseClick(batch.findChild<QPushButton*>("b_run"), Qt::LeftButton);
    ASSERT_TRUE(batch.isProcessing());

    UserDialogs::setNextFileNames({scanFile("second.ptx", stationPtx(1, 1, 1))});
    click("b_ws");
    click("b_start");
    EXPECT_EQ(UserDialogs::shownTexts(),
              (QStringList{"Permission denied while batch processing is running!",
                           "Permission denied while batch processing is running!"}));
    EXPECT_EQ(textOf("l_ws"), first);
    EXPECT_FALSE(dock->layoutTask().isRunning());
    EXPECT_EQ(w<QPushButton>("b_start")->text(), "Start");
}

TEST_F(Dock, TakesNumbersInTheUsersNotation)
{
    const DefaultLocale german(QLocale(QLocale::German, QLocale::Germany));
    writeConfig(30.0, 0.05, 20.0);
    makeDock();
    prepareRun();
    const struct
    {
        const char* lower;
        const char* upper;
        double low;
        double high;
    } planes[] = {{"-1,5", "2,5", -1.5, 2.5}, {"-1.5", " 2.25 ", -1.5, 2.25}};
    for (const auto& p : planes) {
        SCOPED_TRACE(p.upper);
        UserDialogs::clearScript();
        chooseOutput(outFolder() + "/comma.log");
        w<QLineEdit>("e_lower")->setText(p.lower);
        w<QLineEdit>("e_upper")->setText(p.upper);
        click("b_start");
        EXPECT_EQ(dock->layoutTask().job.clipLow, p.low);
        EXPECT_EQ(dock->layoutTask().job.clipHigh, p.high);
        ASSERT_TRUE(waitForMessage());
        EXPECT_TRUE(succeeded()) << UserDialogs::shownTexts().join("|").toStdString();
    }

    // Grouped numbers are not guessed at; the field that is wrong gets the focus.
    ASSERT_TRUE(QTest::qWaitForWindowActive(dock.get()));
    UserDialogs::clearScript();
    chooseOutput(outFolder() + "/comma.log");
    w<QLineEdit>("e_lower")->setText("1.234,5");
    w<QLineEdit>("e_upper")->setText("2000");
    click("b_start");
    EXPECT_EQ(UserDialogs::shownTexts(),
              QStringList{"Clipping Planes: \"1.234,5\" is not a number of metres for Bottom!"});
    EXPECT_FALSE(dock->layoutTask().isRunning());
    EXPECT_TRUE(w<QLineEdit>("e_lower")->hasFocus());
    // The message gives the planes in the same notation.
    UserDialogs::clearScript();
    w<QLineEdit>("e_lower")->setText("3.5");
    w<QLineEdit>("e_upper")->setText("2,5");
    click("b_start");
    EXPECT_EQ(UserDialogs::shownTexts(),
              QStringList{"Clipping Planes: Bottom (3,5 m) must lie below Top (2,5 m), or the "
                          "layout holds nothing!"});

    // The information box speaks the same notation.
    writeConfig(30.0, 0.0025, 10.0);
    dock->preferencesChanged();
    EXPECT_EQ(textOf("sl_resolution"), "2,5");
}

TEST_F(Dock, ChecksWhatCannotWorkBeforeAnyScanIsRead)
{
    const QString blocker = writeFile(appData.path() + "/blocker", "a file, not a folder");
    const QString readOnly = appData.path() + "/read-only";
    QDir().mkpath(readOnly);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
    // Whoever may write everywhere (root) cannot be refused a folder by its permissions.
    const bool permissionsHold = !QTemporaryFile(readOnly + "/probe-XXXXXX").open();
    struct Case
    {
        const char* what;
        double resolution;
        QString log;
        QString message;
        double tileSize = 20.0;
    };
    // A hand-edited preference is named with its line in the file.
    const QString file = QDir::toNativeSeparators(configFilePath());
    const Case cases[] = {
        {"tiles too large", 0.0001, outFolder() + "/fine.log",
         "Image Resolution: " + tileLimitMessage(0.0001, 20.0) + "\n\nLine 5 of " + file +
             ": Resolution = 0.0001\n" + tileLimitHint()},
        {"a tile size the engine cannot cut", 0.05, outFolder() + "/cut.log",
         "Image Size: tiles are cut in whole multiples of 10 m; 15 m is not one!\n\nLine 9 of " +
             file + ": TileSize = 15\n" + tileLimitHint(),
         15.0},
        {"a file where the folder belongs", 0.05, blocker + "/sub/site.log",
         "The output folder could not be created:\n" + QDir::toNativeSeparators(blocker + "/sub") +
             "\n\nPlease choose another folder!"},
        {"a folder that takes no file", 0.05, readOnly + "/site.log",
         "The output folder cannot be written to:\n" + QDir::toNativeSeparators(readOnly) +
             "\n\nPlease choose another folder!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.log.startsWith(readOnly) && !permissionsHold)
            continue;
        UserDialogs::clearScript();
        writeConfig(30.0, c.resolution, c.tileSize);
        makeDock();
        prepareRun();
        chooseOutput(c.log);
        CaptureDiagnostics out;
        click("b_start");
        EXPECT_EQ(UserDialogs::shownTexts(), QStringList{c.message});
        EXPECT_FALSE(dock->layoutTask().isRunning());
        EXPECT_FALSE(QString::fromStdString(out.text()).contains("Load Scan")) << "no scan is read";
        EXPECT_EQ(w<QPushButton>("b_start")->text(), "Start");
        EXPECT_EQ(textOf("l_out"), c.log) << "the choice stays, to be corrected";
    }
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(Dock, MakesAMissingOutputFolderAndRemovesItWhenNothingIsWritten)
{
    writeConfig(30.0, 0.05, 20.0);
    makeDock();
    prepareRun();
    const QString fresh = appData.path() + "/new/deeper";
    // Planes above every point: nothing is written, and the folders made go again.
    chooseOutput(fresh + "/empty.log");
    w<QLineEdit>("e_lower")->setText("50");
    w<QLineEdit>("e_upper")->setText("60");
    click("b_start");
    ASSERT_TRUE(waitForMessage());
    EXPECT_EQ(UserDialogs::shownTexts(), QStringList{resultCodeMessage(NotEnoughData)});
    EXPECT_FALSE(QFileInfo::exists(appData.path() + "/new"));

    UserDialogs::clearScript();
    chooseOutput(fresh + "/site.log");
    click("rb_top"); // planes around the scan again
    UserDialogs::setNextOffer(true);
    click("b_start");
    ASSERT_TRUE(waitForMessage());
    EXPECT_TRUE(succeeded());
    EXPECT_TRUE(UserDialogs::shownTexts().first().endsWith(QDir::toNativeSeparators(fresh)));
    EXPECT_TRUE(LogReader(fresh + "/site.log").ok());
    EXPECT_EQ(UserDialogs::openedFolders(), QStringList{fresh}) << "the offer was taken";
}

TEST_F(Dock, NamesDamagedAndLeftOutScansInsteadOfAPlainSuccess)
{
    writeConfig(30.0, 0.05, 20.0);
    makeDock();
    const QByteArray whole = stationPtx(0, 0, 1.5);
    const QString good = scanFile("good.ptx", whole);
    const QString cut = scanFile("cut.ptx", whole.left(whole.size() / 2));
    chooseInputs({good, cut});
    ASSERT_EQ(w<QListWidget>("w_tab")->count(), 2);
    const QString log = outFolder() + "/damaged.log";

    // The cut scan checked: the layout is written, and the result says what happened.
    chooseOutput(log);
    click("b_start");
    ASSERT_TRUE(waitForMessage());
    ASSERT_EQ(UserDialogs::shownMessages().size(), 1);
    const ShownMessage result = UserDialogs::shownMessages().first();
    EXPECT_EQ(result.title, "Warning");
    EXPECT_TRUE(result.text.startsWith(
        "The layout was written, but not every checked scan is in it whole:\n\ncut.ptx (000) "
        "[1]: PTX scan 1 in "))
        << result.text.toStdString();
    EXPECT_TRUE(result.text.contains(" ends after ")) << result.text.toStdString();
    EXPECT_FALSE(result.text.contains("good.ptx"));
    EXPECT_TRUE(result.text.contains("\nFolder: " + QDir::toNativeSeparators(outFolder())));
    EXPECT_TRUE(LogReader(log).ok());

    // Unchecked, the damage is no part of the layout: a plain success.
    UserDialogs::clearScript();
    w<QListWidget>("w_tab")->item(0)->setCheckState(Qt::Unchecked); // rows by name: cut first
    chooseOutput(log);
    click("b_start");
    ASSERT_TRUE(waitForMessage());
    EXPECT_TRUE(succeeded()) << UserDialogs::shownTexts().join("|").toStdString();

    // A checked scan that cannot be read at all is left out, and said so.
    UserDialogs::clearScript();
    FakeScan placed;
    placed.name = "site/a.fls";
    for (int i = 0; i < 3600; ++i)
        placed.points.push_back({-3.0 + 0.1 * (i / 60), -3.0 + 0.1 * (i % 60), -1.2});
    FakeScan unreadable = placed;
    unreadable.name = "site/b.fls";
    unreadable.opens = false;
    dock->previewTask().stopAndWait();
    dock->layoutTask().reader =
        std::make_unique<FakeScanSource>(std::vector<FakeScan>{placed, unreadable});
    w<QListWidget>("w_tab")->item(0)->setCheckState(Qt::Checked);
    chooseOutput(log);
    click("b_start");
    ASSERT_TRUE(waitForMessage());
    ASSERT_EQ(UserDialogs::shownMessages().size(), 1);
    EXPECT_EQ(UserDialogs::shownMessages().first().icon, UserDialogs::Icon::Warning);
    EXPECT_TRUE(UserDialogs::shownTexts().first().contains(
        "\n\nb.fls [1]: could not be read and was left out\n\n"))
        << UserDialogs::shownTexts().first().toStdString();

    // Not one checked scan can be read: that is the cause, not a lack of data.
    UserDialogs::clearScript();
    placed.opens = false;
    dock->layoutTask().reader =
        std::make_unique<FakeScanSource>(std::vector<FakeScan>{placed, unreadable});
    chooseOutput(log);
    click("b_start");
    ASSERT_TRUE(waitForMessage());
    ASSERT_EQ(UserDialogs::shownMessages().size(), 1);
    EXPECT_EQ(UserDialogs::shownMessages().first().icon, UserDialogs::Icon::Critical);
    EXPECT_EQ(UserDialogs::shownTexts().first(),
              "None of the chosen scans could be read:\n\na.fls [0]: could not be read and was "
              "left out\nb.fls [1]: could not be read and was left out");
}

TEST_F(Dock, SelectsAllOrNoScansAtOnce)
{
    makeDock();
    chooseInputs(
        {scanFile("three.ptx", stationPtx(0, 0, 1) + stationPtx(1, 0, 1) + stationPtx(2, 0, 1))});
    chooseOutput(outFolder() + "/three.log");
    auto* list = w<QListWidget>("w_tab");
    list->item(1)->setSelected(true);
    layoutdef job;
    click("b_selectNone");
    ASSERT_TRUE(dock->getLayoutSettings(job));
    EXPECT_EQ(job.scanList, QBitArray(3, false));
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_FALSE(w<QPushButton>("b_start")->isEnabled()) << "no scan to read";
    list->item(2)->setCheckState(Qt::Checked);
    click("b_selectAll");
    ASSERT_TRUE(dock->getLayoutSettings(job));
    EXPECT_EQ(job.scanList, QBitArray(3, true));
    EXPECT_TRUE(w<QPushButton>("b_start")->isEnabled());
    for (int r = 0; r < list->count(); ++r)
        EXPECT_EQ(list->item(r)->checkState(), Qt::Checked) << r;
}

TEST_F(Dock, ThePreviewsHandlesPlanAndFieldsStayInStep)
{
    // Two storeys: floors at 0 and 3.3 m, ceilings at 3 and 6.3 m.
    GenScanOptions options;
    options.outputFolder = appData.path() + "/two";
    options.storeys = 2;
    options.stations = 2;
    options.pointsPerColumn = 200;
    options.columns = 300;
    GenScanJob building(options);
    ASSERT_TRUE(building.run());
    makeDock();
    dock->resize(1400, 600);
    chooseInputs(building.files());
    auto* panel = w<SitePreviewPanel>("sitePreview");
    ASSERT_TRUE(waitUntil([&] { return panel->preview() != nullptr; }));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dock.get()));
    auto* strip = w<ProfileStrip>("w_profile");
    const QLocale notation = dock->locale();
    const auto field = [&](const char* name) {
        return parseUserReal(textOf(name), notation).value_or(-1e9);
    };
    const auto inStep = [&] {
        EXPECT_DOUBLE_EQ(field("e_lower"), strip->low());
        EXPECT_DOUBLE_EQ(field("e_upper"), strip->high());
    };

    // One click sets the upper storey, from just above its floor to just below its ceiling.
    QTableWidget* levels = panel->levelTable();
    int upper = -1;
    for (int row = 0; row < levels->rowCount(); ++row) {
        if (levels->item(row, 0)->text().startsWith(formatUserFixed(3.3, 2, notation)))
            upper = row;
    }
    ASSERT_GE(upper, 0);
    QTest::mouseClick(qobject_cast<QAbstractButton*>(levels->cellWidget(upper, 2)), Qt::LeftButton);
    EXPECT_NEAR(field("e_lower"), 3.35, 0.02);
    EXPECT_NEAR(field("e_upper"), 6.25, 0.02);
    inStep();

    // Drags: the upper handle to 5 m, the lower one near the floor of 3.3 m, where it snaps.
    const auto drag = [&](double from, double to, int offset = 0) {
        QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(60, strip->rowOf(from)));
        QTest::mouseMove(strip, QPoint(60, strip->rowOf(to) + offset));
        QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(60, strip->rowOf(to) + offset));
    };
    const double pixel = (strip->topValue() - strip->bottomValue()) / strip->height();
    drag(strip->high(), 5.0);
    EXPECT_NEAR(strip->high(), 5.0, 2 * pixel);
    inStep();
    drag(strip->low(), 3.3, ProfileStrip::snapPixels - 2);
    EXPECT_DOUBLE_EQ(strip->low(), 3.3);
    inStep();

    // Typing moves the handles.
    w<QLineEdit>("e_upper")->setText(formatUserFixed(4.5, 2, notation));
    EXPECT_DOUBLE_EQ(strip->high(), 4.5);

    // Two clicks on the plan make the south wall of room A a facade, seen from the room:
    // the fields take its points, the strip the facade's planes.
    auto* plan = w<PlanView>("w_plan");
    const QTransform t = plan->toWidget();
    const QPoint a = t.map(QPointF(7.0, 0.1)).toPoint();
    const QPoint b = t.map(QPointF(1.0, 0.1)).toPoint();
    QTest::mouseClick(plan, Qt::LeftButton, {}, a);
    QTest::mouseClick(plan, Qt::LeftButton, {}, b);
    EXPECT_TRUE(w<QCheckBox>("chk_facade")->isChecked());
    const QPointF p1 = t.inverted().map(QPointF(a));
    const QPointF p2 = t.inverted().map(QPointF(b));
    EXPECT_NEAR(field("e_facadeX1"), p1.x(), 0.006);
    EXPECT_NEAR(field("e_facadeY1"), p1.y(), 0.006);
    EXPECT_NEAR(field("e_facadeX2"), p2.x(), 0.006);
    EXPECT_NEAR(field("e_facadeY2"), p2.y(), 0.006);
    ASSERT_TRUE(plan->overlay().facade);
    EXPECT_EQ(plan->overlay().facade->from.x, field("e_facadeX1"));
    EXPECT_EQ(plan->overlay().facade->to.y, field("e_facadeY2"));
    EXPECT_DOUBLE_EQ(strip->low(), FacadeLine::defaultLow);
    inStep();
}

TEST_F(Dock, TheKeyboardFollowsTheStepsAndEnterPressesButtons)
{
    makeDock();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dock.get()));
    // Enter on the focused Browse opens the file dialog, as Space does.
    w<QWidget>("b_ws")->setFocus();
    UserDialogs::setNextFileNames({scanFile("one.ptx", stationPtx(0, 0, 1))});
    QTest::keyClick(w<QWidget>("b_ws"), Qt::Key_Return);
    ASSERT_EQ(w<QListWidget>("w_tab")->count(), 1);
    UserDialogs::setNextFileName(outFolder() + "/keys.log");
    w<QWidget>("b_out")->setFocus();
    QTest::keyClick(w<QWidget>("b_out"), Qt::Key_Enter);
    EXPECT_EQ(textOf("l_out"), outFolder() + "/keys.log") << "Enter did not reach Browse";

    // Tab goes through the steps in order, then the site preview (its pass over, so its Stop
    // is gone); the path fields, which take no typing, are passed.
    ASSERT_TRUE(
        waitUntil([this] { return w<SitePreviewPanel>("sitePreview")->preview() != nullptr; }));
    dock->activateWindow();
    ASSERT_TRUE(waitUntil([this] { return dock->isActiveWindow(); }));
    w<QWidget>("b_ws")->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), w<QWidget>("b_ws"));
    QStringList order{"b_ws"};
    QWidget* const panel = w<SitePreviewPanel>("sitePreview");
    for (int k = 0; k < 40 && QApplication::focusWidget(); ++k) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus, Qt::Key_Tab);
        focus = QApplication::focusWidget();
        if (!focus || focus->objectName() == "b_ws")
            break;
        // After the steps, the site preview's table and its level buttons, and nothing else.
        if (order.size() >= 16 && !panel->isAncestorOf(focus))
            order.append("outside the preview: " + focus->objectName());
        else if (order.size() < 16 || focus->objectName() == "w_levels")
            order.append(focus->objectName());
    }
    EXPECT_EQ(order,
              (QStringList{"b_ws", "rb_top", "e_azimuth", "chk_facade", "w_tab", "b_selectAll",
                           "b_selectNone", "e_upper", "e_lower", "b_out", "cb_imagetype",
                           "cb_printscale", "cb_layer", "chk_dxf", "e_crs", "b_start",
                           // the PDF's paper waits for a print scale
                           "w_levels"}));
}

TEST_F(Dock, SpeaksGermanWithTheGermanTranslation)
{
    GermanTexts german;
    ASSERT_TRUE(german.isLoaded());
    makeDock();
    EXPECT_EQ(dock->windowTitle(), "Layout-Erstellung");
    EXPECT_EQ(w<QGroupBox>("step6")->title(), "Letzter Schritt");
    EXPECT_EQ(w<QComboBox>("cb_imagetype")->itemText(2), "TIFF (*.tif)");
    chooseInputs({scanFile("one.ptx", stationPtx(0, 0, 1))});
    EXPECT_TRUE(UserDialogs::lastFileFilter().startsWith("Alle unterstützten Dateien (*.ptx "))
        << UserDialogs::lastFileFilter().toStdString();
    click("rb_back");
    EXPECT_EQ(textOf("sl_lower"), "Vorne");
    EXPECT_EQ(textOf("sl_upper"), "Hinten");
    EXPECT_EQ(dock->findChild<QWidget*>("ProgressForm")->windowTitle(), "Fortschritt ...");
    chooseOutput(outFolder() + "/de.log");
    w<QLineEdit>("e_upper")->setText(textOf("e_lower"));
    click("b_start");
    ASSERT_EQ(UserDialogs::shownTexts().size(), 1);
    EXPECT_TRUE(UserDialogs::shownTexts().first().startsWith("Schnittebenen: Vorne ("))
        << UserDialogs::shownTexts().first().toStdString();
    // What a reader noted of a scan is shown in German too, its numbers and paths kept.
    struct NotingSource : FakeScanSource
    {
        NotingSource() : FakeScanSource({FakeScan{}})
        {
            noteDamage(
                0,
                QT_TRANSLATE_NOOP("ScanNote", "PTX scan %1 in %2 ends after %3 of %4 point lines"),
                {"0", "/p/%2.ptx", "5", "9"});
        }
    } noted;
    EXPECT_EQ(damagedScanLines(damagedScans(noted, QBitArray(1, true), QBitArray(1, true))),
              QStringList{"[0]: PTX-Scan 0 in /p/%2.ptx endet nach 5 von 9 Punktzeilen"});
    EXPECT_TRUE(overviewPicturesWarning({"plan.png"}).startsWith("Das Layout ist vollständig"))
        << overviewPicturesWarning({"plan.png"}).toStdString();
    // The engine's texts are translated where they are shown; unknown ones stay as they are.
    EXPECT_EQ(displayedStatusText("Loading Scan 4 of 8"), "Lade Scan 4 von 8");
    EXPECT_EQ(displayedStatusText("Write Thumbnail"), "Schreibe Übersichtsbild");
    EXPECT_EQ(displayedStatusText("Something new"), "Something new");
}

TEST(DockRules, RieglProjectPathsMustBeLatin1)
{
    const std::pair<QString, bool> paths[] = {
        {"C:\\Daten\\Projekt\\project.rsp", true},
        {QString::fromUtf8("C:\\Daten\\Größe\\project.rsp"), true},
        {QString::fromUtf8("C:\\Проект\\project.rsp"), false},
        {QString::fromUtf8("/data/Проект/PROJECT.RSP"), false},
        {QString::fromUtf8("/data/Проект/scan.ptx"), true},
        {QString::fromUtf8("/data/€/project.rsp"), false},
    };
    // The Riegl library opens project paths in Latin-1 only.
    for (const auto& [path, supported] : paths)
        EXPECT_EQ(scanPathRefusal(path) == nullptr, supported) << path.toStdString();
    EXPECT_TRUE(fitsLatin1(QString::fromUtf8("ÿ")));
    EXPECT_FALSE(fitsLatin1(QString::fromUtf8("Ā")));
}

TEST(DockRules, ScanNamesAreShortButNeverAlike)
{
    const struct
    {
        QStringList names;
        QStringList shown;
    } cases[] = {
        {{"/p/east/st.ptx (000)", "/p/east/st.ptx (001)", "/q/west/x.ptx (000)"},
         {"st.ptx (000)", "st.ptx (001)", "x.ptx (000)"}},
        // Two files of one name: their folders tell them apart, as far out as needed.
        {{"/p/east/st.ptx (000)", "/p/west/st.ptx (000)"},
         {"east/st.ptx (000)", "west/st.ptx (000)"}},
        {{"C:\\a\\x\\st.ptx (000)", "C:\\b\\x\\st.ptx (000)", "C:\\b\\y\\st.ptx (000)"},
         {"a\\x\\st.ptx (000)", "b\\x\\st.ptx (000)", "y\\st.ptx (000)"}},
        {{"/x/st.ptx (000)", "/y/x/st.ptx (000)"}, {"/x/st.ptx (000)", "y/x/st.ptx (000)"}},
        {{"ScanPos001.rxp", "ScanPos001.rxp"}, {"ScanPos001.rxp", "ScanPos001.rxp"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(distinctScanNames(c.names), c.shown) << c.names.join(" | ").toStdString();
}

TEST(DockRules, DefaultLogNamesFollowTheView)
{
    EXPECT_EQ(defaultLogName(Top), "Layout.log");
    EXPECT_EQ(defaultLogName(Front), "Front_View.log");
    EXPECT_EQ(defaultLogName(Back), "Back_View.log");
    EXPECT_EQ(defaultLogName(Left), "Left_View.log");
    EXPECT_EQ(defaultLogName(Right), "Right_View.log");
}

#include "app/DiagnosticConsole.h"
#include "app/MainWindow.h"
#include "creator/Layout.h"
#include "diag/Diagnostics.h"
#include "platform/AppFolders.h"
#include "platform/AppPaths.h"
#include "scan/ScanSourceFactory.h"
#include "settings/ConfigSettings.h"
#include "sketchup/SketchUpPlugIn.h"
#include "support/CaptureDiagnostics.h"
#include "support/FakeScanSource.h"
#include "support/TempAppData.h"
#include "uikit/UserDialogs.h"
#include "update/Updater.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <thread>

using namespace orthaven;
using namespace orthaven::test;

namespace {

QAction* action(MainWindow& w, const char* name)
{
    auto* found = w.findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QStringList menuTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* a : menu->actions())
        texts.append(a->isSeparator() ? QStringLiteral("|") : a->text());
    return texts;
}

// The open dialog of type T among the top-level widgets, or null.
template <typename T> T* openDialog()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<T*>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

// What a modal dialog looked like while its caller waited for it.
struct SeenDialog
{
    bool found = false;
    bool modal = false;
    QPointer<QDialog> dialog;
};

// Once the window's nested event loop runs, notes the open dialog of type T and closes
// it with its Close button.
template <typename T>
void closeWhenOpen(MainWindow& w, SeenDialog& seen, std::function<void(T&)> look = {})
{
    QTimer::singleShot(0, &w, [&seen, look] {
        T* dialog = openDialog<T>();
        if (!dialog)
            return;
        seen.found = true;
        seen.modal = QApplication::activeModalWidget() == dialog;
        seen.dialog = dialog;
        if (look)
            look(*dialog);
        dialog->template findChild<QPushButton*>(QStringLiteral("b_close"))->click();
    });
}

} // namespace

TEST(MainWindow, StartsWithTheLayoutDockAndHiddenModules)
{
    TempAppData appData;
    MainWindow w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "Orthaven");
    // Wide enough for long scan names, within the screen, and never below what the Layout
    // Creator's panel needs.
    const QSize screen = w.screen()->availableGeometry().size();
    EXPECT_EQ(w.width(), std::min(1120, int(screen.width() * 0.95)));
    EXPECT_LE(w.height(), screen.height());
    EXPECT_GE(w.width(), w.layoutDock()->minimumSizeHint().width());
    ASSERT_NE(w.layoutDock(), nullptr);
    EXPECT_GE(w.layoutDock()->widget()->height(), 370);
    EXPECT_EQ(w.layoutDock()->objectName(), "Layout");
    EXPECT_EQ(w.preferencesDock()->objectName(), "LayoutPrefInfo");
    EXPECT_EQ(w.currentDock(), w.layoutDock());
    EXPECT_TRUE(w.layoutDock()->isVisible());
    EXPECT_FALSE(w.preferencesDock()->isVisible());
    EXPECT_EQ(w.dockWidgetArea(w.layoutDock()), Qt::TopDockWidgetArea);

    for (const char* name :
         {"actionMenu_PDF_Generator", "actionMenu_Layout_Viewer", "actionMenuCheck_for_Updates"}) {
        EXPECT_FALSE(action(w, name)->isVisible()) << name;
        EXPECT_FALSE(action(w, name)->isEnabled()) << name;
    }
    EXPECT_FALSE(action(w, "actionLayout_Wizard")->isEnabled());
    EXPECT_TRUE(action(w, "actionWindows_XP")->isChecked());
    EXPECT_TRUE(action(w, "actionEnglish")->isChecked());

    const auto menus = w.menuBar()->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(w.menuBar()->actions().size(), 3);
    // Every menu and entry has its Alt key, none twice in one menu.
    EXPECT_EQ(w.menuBar()->actions()[0]->text(), "&File");
    EXPECT_EQ(w.menuBar()->actions()[1]->text(), "&Modules");
    EXPECT_EQ(w.menuBar()->actions()[2]->text(), "&Help");
    EXPECT_EQ(menuTexts(w.menuBar()->actions()[0]->menu()),
              (QStringList{"|", "&Install SketchUp Scripts", "|", "&Quit"}));
    EXPECT_EQ(menuTexts(w.menuBar()->actions()[1]->menu()),
              (QStringList{"Layout &Creator", "Layout &Preferences", "|", "&Batch Processing",
                           "P&DF Generator", "Layout &Viewer"}));
    EXPECT_EQ(menuTexts(w.menuBar()->actions()[2]->menu()),
              (QStringList{"&Check for Updates", "&About"}));
    EXPECT_TRUE(action(w, "actionMenu_Batch_Processing")->isVisible());
    EXPECT_FALSE(w.batchDock()->isVisible());

    auto* toolBar = w.findChild<QToolBar*>("pluginToolBar");
    ASSERT_NE(toolBar, nullptr);
    EXPECT_EQ(toolBar->windowTitle(), "Plugin ToolBar");
    ASSERT_EQ(toolBar->actions().size(), 1);
    EXPECT_EQ(toolBar->actions()[0], w.layoutPlugInAction());
    EXPECT_EQ(w.layoutPlugInAction()->text(), "&Layout PlugIn");
    EXPECT_FALSE(w.layoutPlugInAction()->icon().isNull());
}

TEST(MainWindow, PrintsItsConstructionAndDestructionLines)
{
    TempAppData appData;
    CaptureDiagnostics out;
    {
        MainWindow w;
    }
    EXPECT_EQ(out.lines(), (QStringList{"MainWindow::createActions()", "Create Toolbars",
                                        "Destructor MainWindow"}));
}

TEST(MainWindow, ModuleActionsSwitchTheDock)
{
    TempAppData appData;
    MainWindow w;
    w.show();
    action(w, "actionMenu_LayoutPrefs")->trigger();
    EXPECT_EQ(w.currentDock(), w.preferencesDock());
    EXPECT_TRUE(w.preferencesDock()->isVisible());
    EXPECT_FALSE(w.layoutDock()->isVisible());
    EXPECT_EQ(w.dockWidgetArea(w.preferencesDock()), Qt::TopDockWidgetArea);

    w.layoutPlugInAction()->trigger();
    EXPECT_EQ(w.currentDock(), w.layoutDock());
    EXPECT_TRUE(w.layoutDock()->isVisible());
    EXPECT_FALSE(w.preferencesDock()->isVisible());

    action(w, "actionMenu_LayoutPrefs")->trigger();
    action(w, "actionMenu_Layout_Generator")->trigger();
    EXPECT_EQ(w.currentDock(), w.layoutDock());
    EXPECT_FALSE(w.preferencesDock()->isVisible());
}

TEST(MainWindow, AFloatingDockStaysVisibleBesideTheNewOne)
{
    TempAppData appData;
    MainWindow w;
    w.show();
    w.layoutDock()->setFloating(true);
    action(w, "actionMenu_LayoutPrefs")->trigger();
    EXPECT_TRUE(w.layoutDock()->isVisible());
    EXPECT_TRUE(w.preferencesDock()->isVisible());
    EXPECT_EQ(w.dockWidgetArea(w.preferencesDock()), Qt::TopDockWidgetArea);
}

TEST(MainWindow, SavingThePreferencesBringsTheLayoutDockBack)
{
    for (const char* buttonName : {"pb_save"}) {
        SCOPED_TRACE(buttonName);
        TempAppData appData;
        MainWindow w;
        w.show();
        action(w, "actionMenu_LayoutPrefs")->trigger();
        ASSERT_TRUE(w.preferencesDock()->isVisible());
        auto* button = w.preferencesDock()->findChild<QPushButton*>(buttonName);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);

        EXPECT_EQ(w.currentDock(), w.layoutDock());
        EXPECT_TRUE(w.layoutDock()->isVisible());
        EXPECT_FALSE(w.preferencesDock()->isVisible());
        EXPECT_EQ(w.dockWidgetArea(w.layoutDock()), Qt::TopDockWidgetArea);
        EXPECT_TRUE(QFileInfo::exists(appData.path() + "/Brandmoor/Orthaven/orthaven.cfg"));
    }
}

TEST(MainWindow, SaysOnceWhichLinesOfThePreferencesCannotBeUsed)
{
    TempAppData appData;
    ensureAppFolders();
    QByteArray text = configText(defaultConfig());
    text.replace("Resolution = 0.01", "Resolution = 0,02");
    text.replace("TextColor = 0 0 0 255", "TextColor = 0 0 x 255");
    text.replace("GridColor = 192 192 192 128", "GridColor = 300 -1 192 128");
    QFile file(configFilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
    file.close();
    UserDialogs::clearScript();
    CaptureDiagnostics quiet;
    MainWindow w;
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([] { return !UserDialogs::shownMessages().isEmpty(); }));
    const ShownMessage shown = UserDialogs::shownMessages().constFirst();
    EXPECT_EQ(shown.icon, UserDialogs::Icon::Warning);
    for (const char* part : {"Line 5 of", ": Resolution = 0,02\nA number with a decimal point",
                             "GridColor = 300 -1 192 128\nFour whole numbers", "taken as 0 or 255",
                             "TextColor = 0 0 x 255", "left out"})
        EXPECT_TRUE(shown.text.contains(QLatin1String(part))) << part << "\n"
                                                              << shown.text.toStdString();
    QCoreApplication::processEvents();
    EXPECT_EQ(UserDialogs::shownMessages().size(), 1);
}

TEST(MainWindow, AltF1TogglesTheConsoleAndOtherKeysDoNot)
{
    TempAppData appData;
    MainWindow w;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    QTest::keyClick(&w, Qt::Key_F1);
    QTest::keyClick(&w, Qt::Key_F1, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(w.console(), nullptr);

    QTest::keyClick(&w, Qt::Key_F1, Qt::AltModifier);
    ASSERT_NE(w.console(), nullptr);
    DiagnosticConsole* console = w.console();
    EXPECT_TRUE(console->isVisible());
    std::cout << "line while open" << std::endl;
    std::cerr << "error while open" << std::endl;
    QTRY_VERIFY(console->capturedText().contains("error while open"));
    EXPECT_TRUE(console->capturedText().contains("line while open\n"));
    EXPECT_TRUE(console->capturedText().startsWith(
        QString::fromStdString(diag::recentLines().front() + "\n")))
        << "the lines reported before it opened are kept";
    EXPECT_TRUE(console->capturedText().contains("Create Toolbars\nALT + F1 pressed\n"));

    QTest::keyClick(&w, Qt::Key_F1, Qt::AltModifier);
    EXPECT_EQ(w.console(), nullptr);
}

TEST(MainWindow, AltF1ClosesTheConsoleAlsoWhenTheConsoleHasTheFocus)
{
    TempAppData appData;
    MainWindow w;
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    QTest::keyClick(&w, Qt::Key_F1, Qt::AltModifier);
    QPointer<DiagnosticConsole> console = w.console();
    ASSERT_NE(console, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(console));

    // The user clicks into the console: the key now goes to the console's own widgets.
    console->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(console));
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    ASSERT_TRUE(focused == console || console->isAncestorOf(focused));
    CaptureDiagnostics out;
    QTest::keyClick(focused, Qt::Key_F1, Qt::AltModifier);
    EXPECT_EQ(w.console(), nullptr);
    EXPECT_EQ(out.lines().count("ALT + F1 pressed"), 1) << "toggled once, not twice";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(console.isNull());

    // And it opens again from the main window.
    QTest::keyClick(&w, Qt::Key_F1, Qt::AltModifier);
    EXPECT_NE(w.console(), nullptr);
}

TEST(MainWindow, RemembersItsSizeAndTheBatchListInThePerUserFolder)
{
    TempAppData appData;
    {
        MainWindow w;
        w.show();
        // The batch list is one menu entry away, beside the Layout Creator.
        action(w, "actionMenu_Batch_Processing")->trigger();
        EXPECT_TRUE(w.batchDock()->isVisible());
        EXPECT_TRUE(w.layoutDock()->isVisible());
        w.resize(w.minimumSizeHint().width() + 3, w.minimumSizeHint().height() + 5);
        w.close();
    }
    EXPECT_TRUE(QFileInfo::exists(appData.path() + "/Brandmoor/Orthaven/window.ini"));
    writeFile(appData.path() + "/Brandmoor/Orthaven/batch-list.txt",
              "--clip-low 0 --clip-high 3 --out /srv/house/north/Layout.log -- /srv/a.ptx\n");
    MainWindow again;
    again.show();
    EXPECT_EQ(again.width(), again.minimumSizeHint().width() + 3);
    EXPECT_EQ(again.height(), again.minimumSizeHint().height() + 5);
    EXPECT_TRUE(again.batchDock()->isVisible());
    auto* jobs = again.batchDock()->findChild<QTableWidget*>("jobTable");
    ASSERT_EQ(jobs->rowCount(), 1);
    EXPECT_GE(jobs->columnWidth(0), static_cast<QAbstractItemView*>(jobs)->sizeHintForColumn(0));
    EXPECT_TRUE(action(again, "actionMenu_Batch_Processing")->isChecked());
    EXPECT_EQ(again.currentDock(), again.layoutDock());
}

TEST(MainWindow, TheConsoleOpensBesideTheWindowWhereThereIsRoom)
{
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    QWidget window;
    window.setGeometry(screen.left() + 10, screen.top() + 10, 200, 150);
    window.show();
    DiagnosticConsole console;
    console.resize(screen.width() / 3, 100);
    console.placeBeside(window);
    EXPECT_EQ(console.x(), window.frameGeometry().right() + 1) << "on its right";
    EXPECT_EQ(console.y(), window.frameGeometry().top());
    window.move(screen.right() - 250, screen.top() + 10);
    console.placeBeside(window);
    EXPECT_LT(console.geometry().right(), window.frameGeometry().left()) << "on its left";
    EXPECT_GE(console.x(), screen.left());
    EXPECT_EQ(console.y(), window.frameGeometry().top());
}

TEST(MainWindow, ConsoleRestoresTheOutputsWhenClosed)
{
    DiagnosticConsole console;
    std::cout << "inside" << std::endl;
    console.release();
    std::cout << "after" << std::endl;
    EXPECT_TRUE(console.capturedText().contains("inside"));
    EXPECT_FALSE(console.capturedText().contains("after"));
}

TEST(MainWindow, StyleActionsMapToOfferedStyles)
{
    for (const char* text :
         {"Windows XP", "Windows Vista/W7", "Plastic Look", "Clean Look", "Motif"}) {
        const QString name = MainWindow::styleNameFor(QString::fromLatin1(text));
        EXPECT_FALSE(name.isEmpty());
        EXPECT_TRUE(QStyleFactory::keys().contains(name, Qt::CaseInsensitive)) << text;
    }
}

TEST(MainWindow, QuitClosesTheWindowWithoutWritingTheConfiguration)
{
    TempAppData appData;
    MainWindow w;
    w.show();
    action(w, "actionQuit")->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(QFileInfo::exists(appData.path() + "/Brandmoor/Orthaven/orthaven.cfg"));
}

TEST(MainWindow, InstallSketchUpScriptsRunsTheInstallerModallyAndDestroysIt)
{
    TempAppData appData;
    MainWindow w;
    w.show();
    SeenDialog seen;
    closeWhenOpen<SketchUpPlugIn>(
        w, seen, [&w](SketchUpPlugIn& installer) { EXPECT_EQ(installer.parentWidget(), &w); });
    action(w, "actionInstall_Sketchup_Scripts")->trigger();
    EXPECT_TRUE(seen.found);
    EXPECT_TRUE(seen.modal);
    EXPECT_TRUE(seen.dialog.isNull()) << "destroyed once it closed";
}

TEST(MainWindow, CheckUpdateRunsTheUpdaterForThisReleaseAndSaysWhenDone)
{
    TempAppData appData;
    MainWindow w;
    w.show();
    SeenDialog seen;
    double version = 0;
    double revision = 0;
    closeWhenOpen<Updater>(w, seen, [&](Updater& updater) {
        version = updater.currentVersion();
        revision = updater.currentRevision();
        EXPECT_EQ(updater.checkUrl(), "http://update.brandmoor.example/orthavenupdatecheck.log");
    });
    CaptureDiagnostics out;
    w.checkUpdate();
    EXPECT_TRUE(seen.found);
    EXPECT_TRUE(seen.modal);
    EXPECT_TRUE(seen.dialog.isNull());
    EXPECT_DOUBLE_EQ(version, 1.1);
    EXPECT_DOUBLE_EQ(revision, 6);
    ASSERT_FALSE(out.lines().isEmpty());
    EXPECT_EQ(out.lines().last(), "Check Update done!");
}

namespace {

// A small PTX scan: one station over a 2 m × 2 m floor.
QByteArray smallScan()
{
    QByteArray text = "20\n20\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n";
    for (int c = 0; c < 20; ++c) {
        for (int r = 0; r < 20; ++r)
            text += QByteArray::number(-1.0 + 0.1 * c) + ' ' + QByteArray::number(-1.0 + 0.1 * r) +
                    " -1.2 0.5\n";
    }
    return text;
}

bool tempFolderIsEmpty()
{
    return QDir(tempFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot);
}

bool waitUntil(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(std::chrono::minutes(2)); // a guard against a hang only
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

// Runs a function when the watched widget is shown.
class ShowHook : public QObject
{
public:
    explicit ShowHook(std::function<void()> call) : onShow(std::move(call)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            onShow();
        return false;
    }

private:
    std::function<void()> onShow;
};

struct WindowWithScans : ::testing::Test
{
    TempAppData appData;
    void SetUp() override
    {
        ensureAppFolders();
        UserDialogs::clearScript();
    }
    void TearDown() override { UserDialogs::clearScript(); }

    static Layout& layoutOf(MainWindow& w) { return *qobject_cast<Layout*>(w.layoutDock()); }
    static void click(Layout& dock, const char* name)
    {
        QTest::mouseClick(dock.findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }
};

} // namespace

TEST_F(WindowWithScans, ClosingDuringAComputationStopsItAndLeavesNoTemporaryFiles)
{
    MainWindow w;
    w.show();
    Layout& dock = layoutOf(w);
    UserDialogs::setNextFileNames({writeFile(appData.path() + "/scan.ptx", smallScan())});
    click(dock, "b_ws");
    const QString log = appData.path() + "/made-for-the-run/plan.log";
    UserDialogs::setNextFileName(log);
    click(dock, "b_out");

    // A scan that takes long to read, so the run is surely going on when the window closes.
    FakeScan scan;
    for (int i = 0; i < 200000; ++i)
        scan.points.push_back({1.0 + 0.00001 * i, 1.0, 0.0});
    auto slow = std::make_unique<FakeScanSource>(std::vector<FakeScan>{scan}, 10);
    std::atomic<bool> reading{false};
    slow->onChunk = [&reading](int, int) {
        reading = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    // The listed scan's preview may still be reading the reader that is replaced here.
    dock.previewTask().stopAndWait();
    dock.layoutTask().reader = std::move(slow);
    click(dock, "b_start");
    ASSERT_TRUE(waitUntil([&reading] { return reading.load(); }));
    ASSERT_TRUE(dock.layoutTask().isRunning());
    ASSERT_FALSE(tempFolderIsEmpty()) << "the run's session folder exists";

    // Quit asks first; the run goes on while the user says no.
    action(w, "actionQuit")->trigger();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(dock.layoutTask().isRunning());
    ASSERT_EQ(UserDialogs::shownMessages().size(), 1);
    EXPECT_EQ(UserDialogs::shownMessages()[0].icon, UserDialogs::Icon::Question);

    UserDialogs::setNextAnswer(true);
    action(w, "actionQuit")->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(dock.layoutTask().isRunning());
    EXPECT_TRUE(tempFolderIsEmpty());
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(log).absolutePath())) << "its folder is gone too";
    QCoreApplication::processEvents(); // a report still queued would come now
    EXPECT_EQ(UserDialogs::shownMessages().size(), 2) << "no result message after the question";
}

// The listing is held until the window closes, so the window surely closes while the
// listing waits.
TEST_F(WindowWithScans, ClosingDuringAListingWaitsForItAndDropsIt)
{
    std::atomic<bool> closing{false};
    struct HeldSource : FakeScanSource
    {
        using FakeScanSource::FakeScanSource;
        std::atomic<bool>* closing = nullptr;
        bool findScans(const QStringList& files) override
        {
            while (!*closing)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return FakeScanSource::findScans(files);
        }
    };
    FakeScan scan;
    scan.points = {{1.0, 1.0, 0.0}, {1.1, 1.0, 0.0}};
    auto held = std::make_unique<HeldSource>(std::vector<FakeScan>{scan});
    held->closing = &closing;
    setNextScanSource(std::move(held));

    MainWindow w;
    w.show();
    Layout& dock = layoutOf(w);
    bool busyAtClose = false;
    // Once the progress window shows, the next turn of the event loop is the listing's own.
    ShowHook hook([&] {
        QTimer::singleShot(0, &w, [&] {
            busyAtClose = dock.isBusy() && dock.layoutTask().isRunning();
            closing = true;
            w.close();
        });
    });
    dock.findChild<QWidget*>("ProgressForm")->installEventFilter(&hook);
    UserDialogs::setNextFileNames({appData.path() + "/held.ptx"});
    UserDialogs::setNextAnswer(true); // to the question whether to quit during the work
    click(dock, "b_ws");
    closing = true;

    EXPECT_TRUE(busyAtClose);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(dock.isBusy());
    EXPECT_FALSE(dock.findChild<QWidget*>("ProgressForm")->isVisible());
    EXPECT_EQ(dock.findChild<QListWidget*>("w_tab")->count(), 0);
    ASSERT_EQ(UserDialogs::shownMessages().size(), 1);
    EXPECT_EQ(UserDialogs::shownMessages()[0].icon, UserDialogs::Icon::Question);
}

TEST_F(WindowWithScans, SavedPreferencesReachTheLayoutDockBeforeItShowsAgain)
{
    MainWindow w;
    w.show();
    action(w, "actionMenu_LayoutPrefs")->trigger();
    auto* tileSize = w.preferencesDock()->findChild<QComboBox*>("cB_TileSize");
    tileSize->setCurrentIndex(tileSize->findText("40 m"));
    QTest::mouseClick(w.preferencesDock()->findChild<QPushButton*>("pb_save"), Qt::LeftButton);
    EXPECT_EQ(w.currentDock(), w.layoutDock());
    EXPECT_EQ(w.layoutDock()->findChild<QLabel*>("sl_mosaicspace")->text(), "40 x 40");
}

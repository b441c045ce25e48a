#include "app/DiagnosticConsole.h"
#include "app/MainWindow.h"
#include "sketchup/SketchUpPlugIn.h"
#include "support/CaptureStdout.h"
#include "support/TempAppData.h"
#include "update/Updater.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <iostream>

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
    EXPECT_EQ(w.size(), QSize(740, 380));
    ASSERT_NE(w.layoutDock(), nullptr);
    EXPECT_EQ(w.layoutDock()->objectName(), "Layout");
    EXPECT_EQ(w.preferencesDock()->objectName(), "LayoutPrefInfo");
    EXPECT_EQ(w.currentDock(), w.layoutDock());
    EXPECT_TRUE(w.layoutDock()->isVisible());
    EXPECT_FALSE(w.preferencesDock()->isVisible());
    EXPECT_EQ(w.dockWidgetArea(w.layoutDock()), Qt::TopDockWidgetArea);

    for (const char* name : {"actionMenu_Batch_Processing", "actionMenu_PDF_Generator",
                             "actionMenu_Layout_Viewer", "actionMenuCheck_for_Updates"}) {
        EXPECT_FALSE(action(w, name)->isVisible()) << name;
        EXPECT_FALSE(action(w, name)->isEnabled()) << name;
    }
    EXPECT_FALSE(action(w, "actionLayout_Wizard")->isEnabled());
    EXPECT_TRUE(action(w, "actionWindows_XP")->isChecked());
    EXPECT_TRUE(action(w, "actionEnglish")->isChecked());

    const auto menus = w.menuBar()->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(w.menuBar()->actions().size(), 3);
    EXPECT_EQ(w.menuBar()->actions()[0]->text(), "File");
    EXPECT_EQ(w.menuBar()->actions()[1]->text(), "Modules");
    EXPECT_EQ(w.menuBar()->actions()[2]->text(), "Help");
    EXPECT_EQ(menuTexts(w.menuBar()->actions()[0]->menu()),
              (QStringList{"|", "Install SketchUp Scripts", "|", "Quit"}));
    EXPECT_EQ(menuTexts(w.menuBar()->actions()[1]->menu()),
              (QStringList{"Layout Generator", "Layout Preferences", "|", "Batch Processing",
                           "PDF Generator", "Layout Viewer"}));
    EXPECT_EQ(menuTexts(w.menuBar()->actions()[2]->menu()),
              (QStringList{"Check for Updates", "About"}));

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
    CaptureStdout out;
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
    for (const char* buttonName : {"pb_save", "pb_preSet"}) {
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
    EXPECT_FALSE(console->capturedText().contains("ALT + F1 pressed"))
        << "printed before the console opened";

    QTest::keyClick(&w, Qt::Key_F1, Qt::AltModifier);
    EXPECT_EQ(w.console(), nullptr);
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
        w, seen, [](SketchUpPlugIn& installer) { EXPECT_EQ(installer.parent(), nullptr); });
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
    CaptureStdout out;
    w.checkUpdate();
    EXPECT_TRUE(seen.found);
    EXPECT_TRUE(seen.modal);
    EXPECT_TRUE(seen.dialog.isNull());
    EXPECT_DOUBLE_EQ(version, 1.1);
    EXPECT_DOUBLE_EQ(revision, 6);
    ASSERT_FALSE(out.lines().isEmpty());
    EXPECT_EQ(out.lines().last(), "Check Update done!");
}

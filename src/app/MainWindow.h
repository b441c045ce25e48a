#pragma once
// The program's only top-level window: menus, the plug-in tool bar and the top dock
// area in which it shows one working panel at a time (the Layout Creator or the layout
// preferences), with the batch list below them when the user wants it. It remembers its
// size, place and docks between starts, and owns the diagnostic console that Alt+F1
// toggles.

#include "Version.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QDockWidget;
class QTranslator;

namespace Ui {
class MainWindowForm;
}

namespace orthaven {

class DiagnosticConsole;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    QDockWidget* layoutDock() const { return layoutPanel; }
    QDockWidget* preferencesDock() const { return preferencesPanel; }
    QDockWidget* currentDock() const { return current; }
    QDockWidget* batchDock() const { return batchPanel; }
    QAction* layoutPlugInAction() const { return layoutPlugIn; }
    DiagnosticConsole* console() const;

    // What the update check compares with the maker's newest release.
    static constexpr double programVersion = version::number;
    static constexpr double programRevision = version::revision;

    // The style that a style action's text asks for, mapped to the styles Qt 6 offers.
    static QString styleNameFor(const QString& actionText);

public slots:
    void useWizard();
    void openPlugIn();
    void checkUpdate();
    void openLayoutFile();
    void about();
    void onQuit();
    void installSkpScripts();
    void preferencesChanged();
    // Tells the user of the lines of the configuration file that could not be used as
    // they stand (the program's values are used instead), once, after the window shows.
    void reportUnusablePreferences();
    void onSetStyle();
    void onSetLanguage();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void createToolBars();
    void showCurrentDock();
    void toggleConsole();
    void restoreWindowState(); // the size, place and docks of the last start, or defaults
    void saveWindowState() const;

    std::unique_ptr<Ui::MainWindowForm> ui;
    QPointer<DiagnosticConsole> consoleWindow;
    QDockWidget* current = nullptr;
    QDockWidget* layoutPanel = nullptr;
    QDockWidget* preferencesPanel = nullptr;
    QDockWidget* batchPanel = nullptr;
    QAction* layoutPlugIn = nullptr;
    QTranslator* germanTranslator = nullptr;
};

} // namespace orthaven

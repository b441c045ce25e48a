#include "app/MainWindow.h"

#include "app/DiagnosticConsole.h"
#include "app/Startup.h"
#include "creator/BatchLayout.h"
#include "creator/Layout.h"
#include "diag/Diagnostics.h"
#include "platform/AppPaths.h"
#include "settings/ConfigSettings.h"
#include "settings/LayoutPrefInfo.h"
#include "sketchup/SketchUpPlugIn.h"
#include "uikit/UserDialogs.h"
#include "update/Updater.h"

#include "ui_MainWindowForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QKeyEvent>
#include <QScreen>
#include <QSettings>
#include <QStyleFactory>
#include <QTimer>
#include <QTranslator>

namespace orthaven {

namespace {

QDockWidget* makeLayoutDock(QWidget* parent)
{
    return new Layout(parent);
}

QDockWidget* makePreferencesDock(QWidget* parent)
{
    return new LayoutPrefInfo(parent);
}

// The Layout Creator re-reads the configuration when the preferences are saved. This is the
// one place where that connection is made; it goes by signature, so it is made as soon as
// the Layout dock offers the slot, and must come before the window's own connection.
void connectLayoutDockToPreferences(QDockWidget* preferences, QDockWidget* layout)
{
    if (layout->metaObject()->indexOfSlot("preferencesChanged()") >= 0)
        QObject::connect(preferences, SIGNAL(preferencesChanged()), layout,
                         SLOT(preferencesChanged()));
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindowForm)
{
    ui->setupUi(this);
    installEventFilter(this);

    layoutPanel = makeLayoutDock(this);
    preferencesPanel = makePreferencesDock(this);
    preferencesPanel->hide();
    current = layoutPanel;
    addDockWidget(Qt::TopDockWidgetArea, current);

    // The batch list sits below the panels, shown when the user asks for it or queues a job.
    auto* batch = new BatchLayout(this);
    batchPanel = batch;
    batch->setListFile(batchListPath());
    batch->hide();
    addDockWidget(Qt::BottomDockWidgetArea, batch);
    if (auto* layout = qobject_cast<Layout*>(layoutPanel))
        layout->setBatchList(batch);

    for (QAction* action : {ui->actionMenu_PDF_Generator, ui->actionMenu_Layout_Viewer,
                            ui->actionMenuCheck_for_Updates}) {
        action->setEnabled(false);
        action->setVisible(false);
    }
    ui->actionLayout_Wizard->setEnabled(false);

    createActions();
    createToolBars();
    restoreWindowState();
    QTimer::singleShot(0, this, &MainWindow::reportUnusablePreferences);
}

void MainWindow::reportUnusablePreferences()
{
    ConfigSettings config = defaultConfig();
    QStringList unusable;
    readConfig(configFilePath(), config, &unusable);
    if (unusable.isEmpty())
        return;
    UserDialogs::show(this, UserDialogs::Icon::Warning, tr("Preferences"),
                      tr("These lines of the preferences could not be used as they stand:") +
                          QStringLiteral("\n\n") + unusable.join(QStringLiteral("\n\n")) +
                          QStringLiteral("\n\n") +
                          tr("Please set them again under Modules > Layout Preferences."));
}

MainWindow::~MainWindow()
{
    // Closing hides the batch list, whose menu entry (held by ui) is gone by then.
    disconnect(batchPanel, &QDockWidget::visibilityChanged, nullptr, nullptr);
    // The console's redirection is undone here, so nothing written after the window is
    // gone ends in a pipe nobody reads.
    delete consoleWindow;
    diag::debug("Destructor MainWindow");
}

void MainWindow::createActions()
{
    diag::debug("MainWindow::createActions()");
    layoutPlugIn =
        new QAction(QIcon(QStringLiteral(":/img/layout_LG.png")), tr("&Layout PlugIn"), this);
    layoutPlugIn->setObjectName(QStringLiteral("actionLayout_PlugIn"));

    for (QAction* action :
         {ui->actionMenu_LayoutPrefs, ui->actionMenu_Layout_Generator, ui->actionMenu_PDF_Generator,
          ui->actionMenu_Layout_Viewer, layoutPlugIn})
        connect(action, &QAction::triggered, this, &MainWindow::openPlugIn);
    // The batch list comes and goes beside whatever panel is shown; its menu entry is
    // checked while it shows.
    connect(ui->actionMenu_Batch_Processing, &QAction::triggered, batchPanel, [this](bool on) {
        batchPanel->setVisible(on);
        if (on)
            batchPanel->raise();
    });
    connect(batchPanel, &QDockWidget::visibilityChanged, ui->actionMenu_Batch_Processing,
            [this] { ui->actionMenu_Batch_Processing->setChecked(batchPanel->isVisible()); });
    connect(ui->actionInstall_Sketchup_Scripts, &QAction::triggered, this,
            &MainWindow::installSkpScripts);
    connect(ui->actionMenuCheck_for_Updates, &QAction::triggered, this, &MainWindow::checkUpdate);
    connect(ui->actionQuit, &QAction::triggered, this, &MainWindow::onQuit);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::about);
    connectLayoutDockToPreferences(preferencesPanel, layoutPanel);
    connect(qobject_cast<LayoutPrefInfo*>(preferencesPanel), &LayoutPrefInfo::preferencesChanged,
            this, &MainWindow::preferencesChanged);
}

void MainWindow::createToolBars()
{
    diag::debug("Create Toolbars");
    ui->pluginToolBar->addAction(layoutPlugIn);
}

void MainWindow::showCurrentDock()
{
    addDockWidget(Qt::TopDockWidgetArea, current);
    current->show();
}

DiagnosticConsole* MainWindow::console() const
{
    return consoleWindow.data();
}

void MainWindow::useWizard()
{
    ui->actionLayout_Wizard->setEnabled(false);
}

void MainWindow::openPlugIn()
{
    if (!current->isFloating())
        current->hide();
    const QObject* from = sender();
    if (from == layoutPlugIn || from == ui->actionMenu_Layout_Generator)
        current = layoutPanel;
    else if (from == ui->actionMenu_LayoutPrefs)
        current = preferencesPanel;
    // Any other sender has no panel of its own: the current one is shown again.
    showCurrentDock();
}

void MainWindow::preferencesChanged()
{
    current->hide();
    if (sender() == preferencesPanel)
        current = layoutPanel;
    showCurrentDock();
}

void MainWindow::checkUpdate()
{
    {
        Updater updater(programVersion, programRevision, updateServerUrl(), this);
        updater.exec();
    }
    diag::debug("Check Update done!");
}

void MainWindow::openLayoutFile() {}

void MainWindow::about()
{
    UserDialogs::about(this, QStringLiteral("Orthaven"),
                       tr("Orthaven %1 (revision %2): orthographic layouts, sections and "
                          "elevations from terrestrial laser scans.")
                           .arg(QLatin1String(version::text))
                           .arg(version::revision));
}

void MainWindow::onQuit()
{
    close();
}

void MainWindow::installSkpScripts()
{
    SketchUpPlugIn installer(this);
    installer.exec();
}

QString MainWindow::styleNameFor(const QString& actionText)
{
    const QStringList offered = QStyleFactory::keys();
    const auto pick = [&offered](std::initializer_list<const char*> wanted) {
        for (const char* name : wanted) {
            for (const QString& key : offered) {
                if (key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                    return key;
            }
        }
        return QStringLiteral("Fusion");
    };
    if (actionText == QLatin1String("Windows XP"))
        return pick({"Windows"});
    if (actionText == QLatin1String("Windows Vista/W7"))
        return pick({"windowsvista", "Windows"});
    if (actionText == QLatin1String("Motif"))
        return pick({"Windows"});
    // The Plastique and Cleanlooks looks have no successor of their own in Qt 6.
    return QStringLiteral("Fusion");
}

void MainWindow::onSetStyle()
{
    auto* action = qobject_cast<QAction*>(sender());
    if (!action)
        return;
    for (QAction* a : {ui->actionWindows_XP, ui->actionWindows_Vista_W7, ui->actionPlastic,
                       ui->actionClean_Look, ui->actionMotif})
        a->setChecked(false);
    QStyle* style = QStyleFactory::create(styleNameFor(action->text()));
    if (!style)
        style = QStyleFactory::create(QStringLiteral("Fusion"));
    if (style)
        QApplication::setStyle(style);
    action->setChecked(true);
}

void MainWindow::onSetLanguage()
{
    auto* action = qobject_cast<QAction*>(sender());
    if (!action)
        return;
    for (QAction* a : {ui->actionEnglish, ui->actionGerman, ui->actionFrench})
        a->setChecked(false);
    action->setChecked(true);
    if (action == ui->actionGerman) {
        diag::debug("German selected");
        germanTranslator = new QTranslator;
        loadTranslation(*germanTranslator, QStringLiteral("orthaven_de"));
        QCoreApplication::installTranslator(germanTranslator);
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::AltModifier && key->key() == Qt::Key_F1) {
            diag::debug("ALT + F1 pressed");
            // Accepted, so the key goes no further up: the console's widgets pass it on
            // to the console window, which is watched as well and would toggle again.
            event->accept();
            toggleConsole();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::toggleConsole()
{
    if (!consoleWindow) {
        consoleWindow = new DiagnosticConsole(this);
        consoleWindow->placeBeside(*this);
        consoleWindow->setAttribute(Qt::WA_DeleteOnClose);
        // A key goes to the window that has the focus, so Alt+F1 reaches this filter
        // only if it watches the console too: a console clicked into still closes.
        consoleWindow->installEventFilter(this);
        for (QWidget* part : consoleWindow->findChildren<QWidget*>())
            part->installEventFilter(this);
        consoleWindow->show();
    } else {
        consoleWindow->close();
        consoleWindow = nullptr;
    }
}

// A thread destroyed while it runs takes the program down, and a computation cut off
// leaves its temporary files behind: while a layout is computed (by the Layout Creator or
// the batch list) the user is asked first, and a confirmed quit stops the work and waits
// for it (the engine removes its files, the docks the folders they made).
void MainWindow::closeEvent(QCloseEvent* event)
{
    auto* layout = qobject_cast<Layout*>(layoutPanel);
    auto* batch = qobject_cast<BatchLayout*>(batchPanel);
    const bool busy = (layout && layout->isBusy()) || (batch && batch->isProcessing());
    if (busy) {
        // A run that ends while the question is open says so only after the answer.
        if (layout)
            layout->holdReports(true);
        const bool quit = UserDialogs::question(
            this, tr("Quit"),
            tr("A layout is being computed.\n\nStop it and quit? Nothing of the unfinished "
               "layout is kept."),
            tr("Stop and Quit"));
        if (layout)
            layout->holdReports(false);
        if (!quit) {
            event->ignore();
            return;
        }
    }
    if (batch)
        batch->stopAndWait();
    if (layout)
        layout->stopAndWait();
    saveWindowState();
    event->accept();
}

void MainWindow::restoreWindowState()
{
    // A size that shows the Layout Creator's steps whole with room for long scan names,
    // within the screen.
    QSize size = QSize(1120, 600).expandedTo(minimumSizeHint());
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.95);
    resize(size);

    QSettings stored(windowStatePath(), QSettings::IniFormat);
    restoreGeometry(stored.value(QStringLiteral("geometry")).toByteArray());
    restoreState(stored.value(QStringLiteral("state")).toByteArray());
    // The window opens with the Layout Creator, whatever panel was shown when it closed.
    current = layoutPanel;
    preferencesPanel->hide();
    layoutPanel->show();
}

void MainWindow::saveWindowState() const
{
    QSettings stored(windowStatePath(), QSettings::IniFormat);
    stored.setValue(QStringLiteral("geometry"), saveGeometry());
    stored.setValue(QStringLiteral("state"), saveState());
}

} // namespace orthaven

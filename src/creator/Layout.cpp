#include "creator/Layout.h"

#include "creator/BatchLayout.h"
#include "creator/ClippingDefaults.h"
#include "creator/LayoutSettings.h"
#include "creator/OutputFolder.h"
#include "creator/ProfileStrip.h"
#include "creator/ResultMessages.h"
#include "creator/ScanNameText.h"
#include "creator/SitePreviewPanel.h"
#include "diag/Diagnostics.h"
#include "engine/CoordinateSystem.h"
#include "engine/LayoutCreator.h"
#include "engine/StatusReporter.h"
#include "layout/ImageFormats.h"
#include "layout/LayoutLimits.h"
#include "layout/NumberText.h"
#include "platform/AppPaths.h"
#include "scan/ScanSourceFactory.h"
#include "scan/riegl/RieglPath.h"
#include "uikit/Keyboard.h"
#include "uikit/UserDialogs.h"

#include "ui_LayoutForm.h"
#include "ui_ProgressForm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QListWidgetItem>
#include <QPushButton>
#include <QSignalBlocker>

#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace orthaven {

namespace {

// Why none of the chosen files can be read at all, or an empty text.
QString refusalOf(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (const char* why = scanPathRefusal(path))
            return QCoreApplication::translate("Layout", why);
    }
    return {};
}

// "PTX, FARO, Riegl or PTG": every format of the reader table.
QString formatList()
{
    QStringList names = scanFormatNames();
    if (names.size() < 2)
        return names.join(QString());
    const QString last = names.takeLast();
    return QCoreApplication::translate("Layout", "%1 or %2")
        .arg(names.join(QStringLiteral(", ")), last);
}

} // namespace

bool fitsLatin1(const QString& text)
{
    return isLatin1Text(text);
}

Layout::Layout(QWidget* parent)
    : QDockWidget(parent), ui(new Ui::LayoutForm), progressUi(new Ui::ProgressForm),
      config(defaultConfig())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Layout"));

    // The listing cannot be interrupted, so its window offers no way to close it.
    progressWindow = new QWidget(this, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    progressUi->setupUi(progressWindow);
    progressWindow->setWindowModality(Qt::ApplicationModal);
    progressWindow->installEventFilter(this);

    batchList = nullptr;
    readConfig(configFilePath(), config); // a missing file leaves the defaults

    for (const ImageFormat& format : imageFormats())
        ui->cb_imagetype->addItem(QCoreApplication::translate("LayoutForm", format.label));
    for (int scale : printScaleChoices())
        ui->cb_printscale->addItem(scale > 0 ? QStringLiteral("1:%1").arg(scale)
                                             : QCoreApplication::translate("Layout", "none"),
                                   scale);
    // What the tiles show; the engine's names go into the log.
    ui->cb_layer->addItem(QCoreApplication::translate("Layout", "Density"),
                          int(LayoutLayer::Density));
    ui->cb_layer->addItem(QCoreApplication::translate("Layout", "Intensity"),
                          int(LayoutLayer::Intensity));
    ui->cb_layer->addItem(QCoreApplication::translate("Layout", "Colour"),
                          int(LayoutLayer::Colour));
    // What goes beside the tiles, as chosen last time; the PDF goes with a print scale.
    ui->cb_pdf->addItem(QCoreApplication::translate("Layout", "No PDF"), QString());
    for (const QString& name : paperNames()) {
        const Paper paper = *paperByName(name);
        const QString size = QStringLiteral("A%1").arg(paper.size);
        ui->cb_pdf->addItem(
            paper.landscape ? QCoreApplication::translate("Layout", "PDF %1 landscape").arg(size)
                            : QCoreApplication::translate("Layout", "PDF %1 portrait").arg(size),
            name);
    }
    const std::optional<Paper> paper = paperByName(config.handOff.pdfPaper);
    ui->cb_pdf->setCurrentIndex(
        std::max(0, ui->cb_pdf->findData(paper ? paper->name() : QString())));
    ui->chk_dxf->setChecked(config.handOff.dxf);
    ui->e_crs->setText(config.handOff.crs);
    const auto pdfNeedsScale = [this] {
        ui->cb_pdf->setEnabled(ui->cb_printscale->currentData().toInt() > 0);
    };
    connect(ui->cb_printscale, &QComboBox::currentIndexChanged, this, pdfNeedsScale);
    pdfNeedsScale();

    showConfiguration();

    connect(ui->b_ws, &QPushButton::clicked, this, &Layout::onChooseImport);
    connect(ui->b_out, &QPushButton::clicked, this, &Layout::onChooseExport);
    connect(ui->b_start, &QPushButton::clicked, this, &Layout::onStartStop);
    connect(ui->b_batch, &QPushButton::clicked, this, &Layout::onAddBatch);
    for (QRadioButton* button : {ui->rb_top, ui->rb_front, ui->rb_left, ui->rb_back, ui->rb_right})
        connect(button, &QRadioButton::clicked, this, &Layout::onViewChange);
    // A turned frame has other depths: the elevations' default planes follow it.
    connect(ui->e_azimuth, &QLineEdit::editingFinished, this, &Layout::setNewLowerUpper);
    connect(ui->chk_facade, &QCheckBox::toggled, this, &Layout::onFacadeToggled);
    for (QLineEdit* field : {ui->e_facadeX1, ui->e_facadeY1, ui->e_facadeX2, ui->e_facadeY2})
        connect(field, &QLineEdit::textChanged, this, &Layout::showFacadeAzimuth);
    // Until scans give them their range, the planes show the form's wide defaults, in the
    // window's notation.
    ui->e_upper->setText(locale().toString(100.0, 'f', 1));
    ui->e_lower->setText(locale().toString(-100.0, 'f', 1));
    // Names of one project often differ only at their end (station_000, station_001):
    // a narrow list leaves out their middle, not their end.
    ui->w_tab->setTextElideMode(Qt::ElideMiddle);
    connect(ui->w_tab, &QListWidget::itemChanged, this, &Layout::scanItemSelect);
    connect(ui->b_selectAll, &QAbstractButton::clicked, this,
            [this] { checkAllScans(Qt::Checked); });
    connect(ui->b_selectNone, &QAbstractButton::clicked, this,
            [this] { checkAllScans(Qt::Unchecked); });

    updateTimer.setInterval(200);
    connect(&updateTimer, &QTimer::timeout, this, &Layout::updateProcess);

    ui->b_batch->hide();
    ui->b_batch->setEnabled(false);

    // The site preview beside the clipping planes, shown once there are scans to see.
    previewPanel = new SitePreviewPanel(ui->dockWidgetContents);
    ui->contentsLayout->addWidget(previewPanel, 2);
    previewPanel->hide();
    connect(&preview, &PreviewTask::ready, this, [this] {
        previewTimer.stop();
        previewPanel->setPreview(preview.current(), preview.damaged());
        showPreviewJob();
    });
    connect(&preview, &PreviewTask::stopped, this, [this] {
        previewTimer.stop();
        previewPanel->showIdle(QCoreApplication::translate("Layout", "Preview stopped."));
    });
    previewTimer.setInterval(200);
    connect(&previewTimer, &QTimer::timeout, this, [this] {
        const StatusSnapshot s = preview.progress();
        previewPanel->showProgress(
            s.progressTotal > 0 ? int(100.0f * s.progressDone / s.progressTotal) : 0);
    });
    connect(previewPanel, &SitePreviewPanel::stopClicked, &preview, &PreviewTask::requestStop);
    connect(previewPanel, &SitePreviewPanel::planesChosen, this, &Layout::setPlanesFromPreview);
    connect(previewPanel, &SitePreviewPanel::facadePicked, this, &Layout::setFacadeFromPreview);
    // Whatever changes the job changes what the profile and the plan show.
    for (QLineEdit* field : {ui->e_lower, ui->e_upper, ui->e_azimuth, ui->e_facadeX1,
                             ui->e_facadeY1, ui->e_facadeX2, ui->e_facadeY2})
        connect(field, &QLineEdit::textChanged, this, &Layout::showPreviewJob);
    connect(ui->chk_facade, &QCheckBox::toggled, this, &Layout::showPreviewJob);
    for (QRadioButton* button : {ui->rb_top, ui->rb_front, ui->rb_left, ui->rb_back, ui->rb_right})
        connect(button, &QRadioButton::toggled, this, &Layout::showPreviewJob);
    pressButtonsWithEnter(this);
    // The path fields show what Browse chose; the keyboard passes them by, and a click
    // still selects their text for copying.
    ui->l_ws->setFocusPolicy(Qt::ClickFocus);
    ui->l_out->setFocusPolicy(Qt::ClickFocus);
}

Layout::~Layout()
{
    updateTimer.stop();
    previewTimer.stop();
    preview.stopAndWait();
    task.stopAndWait();
}

bool Layout::getLayoutSettings(layoutdef& job) const
{
    LayoutDialogState state;
    state.inputPaths = inputPaths;
    state.outputPath = ui->l_out->text();
    state.imageTypeIndex = ui->cb_imagetype->currentIndex();
    state.printScale = ui->cb_printscale->currentData().toInt();
    state.layer = LayoutLayer(ui->cb_layer->currentData().toInt());
    state.dxf = ui->chk_dxf->isChecked();
    state.pdfPaper = ui->cb_pdf->currentData().toString();
    state.crs = ui->e_crs->text();
    state.view = checkedView();
    state.azimuthText = ui->e_azimuth->text();
    state.facade = ui->chk_facade->isChecked();
    state.facadeTexts = {ui->e_facadeX1->text(), ui->e_facadeY1->text(), ui->e_facadeX2->text(),
                         ui->e_facadeY2->text()};
    state.scanSelection = scanSelection;
    state.upperText = ui->e_upper->text();
    state.lowerText = ui->e_lower->text();
    state.config = config;
    state.locale = locale();
    return orthaven::getLayoutSettings(state, job);
}

void Layout::setBatchList(BatchLayout* list)
{
    batchList = list;
    ui->b_batch->setText(
        list ? QCoreApplication::translate("LayoutForm", "Add to Batch List")
             : QCoreApplication::translate("LayoutForm", "Batch PlugIn not available"));
    ui->b_batch->setVisible(list != nullptr);
    updateRunButtons();
}

void Layout::updateRunButtons()
{
    const bool running = task.isRunning();
    const bool anyScan = scanSelection.count(true) > 0;
    // Stop stays pressable; Start needs a scan to read.
    ui->b_start->setEnabled(running || anyScan);
    ui->b_batch->setEnabled(batchList && !running && anyScan && !ui->l_out->text().isEmpty());
}

bool Layout::isBusy() const
{
    return listing || task.isRunning();
}

void Layout::stopAndWait()
{
    updateTimer.stop();
    previewTimer.stop();
    preview.stopAndWait();
    const bool computing = !listing && task.isRunning();
    if (listing)
        listingAbandoned = true;
    if (task.isRunning())
        diag::debug("Waiting for the layout task to end ...");
    task.stopAndWait();
    hideProgressWindow();
    if (computing) {
        // A stopped run leaves nothing behind, not even the folder made for it.
        if (task.creator.interrupted || task.creator.failed)
            removeCreatedFolders(createdOutputFolders);
        createdOutputFolders.clear();
        resetPanel(true);
    }
}

std::uint32_t Layout::checkedView() const
{
    if (ui->rb_front->isChecked())
        return Front;
    if (ui->rb_left->isChecked())
        return Left;
    if (ui->rb_back->isChecked())
        return Back;
    if (ui->rb_right->isChecked())
        return Right;
    return Top;
}

std::uint32_t Layout::jobView() const
{
    return ui->chk_facade->isChecked() ? Front : checkedView();
}

std::optional<FacadeLine> Layout::facadeLine() const
{
    const QLocale notation = locale();
    std::optional<double> p[4];
    const QLineEdit* fields[4] = {ui->e_facadeX1, ui->e_facadeY1, ui->e_facadeX2, ui->e_facadeY2};
    for (int k = 0; k < 4; ++k) {
        p[k] = parseUserReal(fields[k]->text(), notation);
        if (!p[k])
            return std::nullopt;
    }
    const FacadeLine line{{*p[0], *p[1]}, {*p[2], *p[3]}};
    return line.isUsable() ? std::optional<FacadeLine>(line) : std::nullopt;
}

bool Layout::batchProcessing() const
{
    return batchList && batchList->isProcessing();
}

void Layout::preferencesChanged()
{
    config = defaultConfig();
    readConfig(configFilePath(), config);
    const QString lower = ui->e_lower->text();
    const QString upper = ui->e_upper->text();
    onViewChange();
    ui->e_lower->setText(lower);
    ui->e_upper->setText(upper);
    requestPreview(); // the scan radius may have changed
}

void Layout::onChooseImport()
{
    if (batchProcessing()) {
        UserDialogs::message(this,
                             QCoreApplication::translate(
                                 "Layout", "Permission denied while batch processing is running!"));
        return;
    }
    if (isBusy())
        return;
    const QStringList chosen = UserDialogs::openFileNames(
        this, QCoreApplication::translate("Layout", "Open"), QString(),
        scanFileFilter(QCoreApplication::translate("Layout", "All supported")));
    if (chosen.isEmpty())
        return;

    // The listing replaces the reader a pass of the preview reads through.
    preview.stopAndWait();
    previewTimer.stop();
    // The current choice stays usable until the new one has been listed: its reader backs
    // the scan list on show and the selection made in it.
    const QString shownBefore = ui->l_ws->text();
    const QStringList pathsBefore = inputPaths;
    std::unique_ptr<ScanSource> readerBefore = std::move(task.reader);

    ui->l_ws->setText(chosen.first());
    inputPaths = chosen;
    const Listing outcome = listScans();
    if (outcome != Listing::Listed) {
        task.reader = std::move(readerBefore);
        inputPaths = pathsBefore;
        ui->l_ws->setText(shownBefore);
        if (listingAbandoned)
            return;
        requestPreview(); // of the choice that stays
        // A file in such a path cannot be opened at all, so its message also explains a
        // listing that failed.
        const QString refusal = refusalOf(chosen);
        if (!refusal.isEmpty())
            UserDialogs::message(this, refusal);
        else
            UserDialogs::message(
                this, QCoreApplication::translate("Layout", "The chosen files could not be read!\n"
                                                            "Please choose %1 scan files.")
                          .arg(formatList()));
        return;
    }
    readerBefore.reset();
    // A new job needs its own output choice before it can be started.
    ui->l_out->clear();
    ui->step6->setEnabled(false);
    previewPanel->setPreview(nullptr);
    previewPanel->show();
    requestPreview();
    updateRunButtons();
    if (!task.reader->filesWithoutScans().isEmpty())
        UserDialogs::show(this, UserDialogs::Icon::Warning,
                          QCoreApplication::translate("Layout", "Warning"),
                          filesWithoutScansMessage(task.reader->filesWithoutScans()));
}

Layout::Listing Layout::listScans()
{
    listing = true;
    listingAbandoned = false;
    showProgressWindow();

    // Native separators: backslashes on Windows, where the vendor libraries expect them;
    // the paths stay valid elsewhere.
    for (QString& path : inputPaths)
        path = QDir::toNativeSeparators(path);
    layoutdef job;
    job.inputFiles = inputPaths;
    task.job = job;
    task.createReader();
    task.mode = FetchScans;
    runTaskAndWait();
    listing = false;

    if (listingAbandoned || !task.result || !task.reader) {
        hideProgressWindow();
        return Listing::Failed;
    }
    QStringList names;
    task.reader->scanNames(names);
    for (const QString& path : std::as_const(inputPaths))
        diag::debug(path.toStdString());
    // Files without a single scan give nothing to choose and no layout.
    if (names.isEmpty()) {
        hideProgressWindow();
        return Listing::Failed;
    }
    if (!refusalOf(inputPaths).isEmpty()) {
        hideProgressWindow();
        return Listing::PathRefused;
    }

    fillScanList(names);
    ui->step2->setEnabled(true);
    ui->step4->setEnabled(true);
    ui->step5->setEnabled(true);
    ui->l_out->setEnabled(true);
    onViewChange();
    hideProgressWindow();
    return Listing::Listed;
}

// Waits for the task without blocking the event loop and without polling: the loop ends
// with the thread. Should the loop end early (the program quits), the wait still holds,
// so nothing goes on with a thread that runs.
void Layout::runTaskAndWait()
{
    QEventLoop loop;
    connect(&task, &QThread::finished, &loop, &QEventLoop::quit);
    task.start(QThread::InheritPriority);
    if (!task.isFinished())
        loop.exec();
    task.wait();
}

void Layout::showProgressWindow()
{
    focusBeforeProgress = QApplication::focusWidget();
    progressUi->busyGroup->setTitle(
        QCoreApplication::translate("Layout", "Scanning input files ..."));
    progressWindow->adjustSize();
    progressWindow->resize(531, 91);
    if (QWidget* host = window(); host && host != progressWindow)
        progressWindow->move(host->geometry().center() - progressWindow->rect().center());
    progressWindow->show();
}

void Layout::hideProgressWindow()
{
    const bool wasShown = progressWindow->isVisible();
    progressWindow->hide();
    // The window under the progress window is not always made active again when it goes
    // (that is up to the window manager); typing would then reach no field.
    if (wasShown && isVisible()) {
        window()->activateWindow();
        if (focusBeforeProgress && focusBeforeProgress->isVisible())
            focusBeforeProgress->setFocus(Qt::OtherFocusReason);
    }
    focusBeforeProgress = nullptr;
}

void Layout::fillScanList(const QStringList& names)
{
    ui->w_tab->clear();
    scanIndexByName.clear();
    for (int i = 0; i < names.size(); ++i)
        scanIndexByName[names[i]] = i; // a later scan of the same name takes the row
    const QStringList keys = scanIndexByName.keys();
    const QStringList shown = distinctScanNames(keys);
    // A name without folders (a Riegl scan) is told where it comes from.
    const QString source = QCoreApplication::translate("Layout", "in %1")
                               .arg(QDir::toNativeSeparators(inputPaths.value(0)));
    for (int r = 0; r < keys.size(); ++r) {
        auto* item = new QListWidgetItem(shown[r]);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Checked);
        const QString whole = QDir::toNativeSeparators(keys[r]);
        item->setToolTip(shortScanName(keys[r]) == keys[r] ? whole + QLatin1Char('\n') + source
                                                           : whole);
        ui->w_tab->addItem(item);
    }
}

void Layout::showConfiguration()
{
    const QLocale notation = locale();
    ui->sl_scanrange->setText(formatUserReal(config.scannerDomain, notation));
    ui->sl_resolution->setText(formatUserReal(config.resolution * 1000.0, notation));
    ui->sl_mosaicspace->setText(QStringLiteral("%1 x %2").arg(
        formatUserReal(config.tileSize, notation), formatUserReal(config.tileSize, notation)));
}

void Layout::onFacadeToggled(bool on)
{
    // A facade is a front view in its line's frame: its two points take the place of the
    // view buttons, and the azimuth shows the line's.
    for (QRadioButton* button : {ui->rb_top, ui->rb_front, ui->rb_left, ui->rb_back, ui->rb_right})
        button->setVisible(!on);
    ui->w_facade->setVisible(on);
    ui->e_azimuth->setEnabled(!on);
    if (on)
        showFacadeAzimuth();
    else
        ui->e_azimuth->setText(formatUserReal(0.0, locale()));
    onViewChange();
}

void Layout::showFacadeAzimuth()
{
    if (!ui->chk_facade->isChecked())
        return;
    const std::optional<FacadeLine> line = facadeLine();
    ui->e_azimuth->setText(line ? formatUserReal(line->azimuth(), locale()) : QString());
}

void Layout::onViewChange()
{
    showConfiguration();
    const ViewInfo* view = viewInfo(jobView());
    if (!view)
        view = viewInfo(Top);
    ui->sl_lower->setText(QCoreApplication::translate("LayoutForm", view->lowerPlane));
    ui->sl_upper->setText(QCoreApplication::translate("LayoutForm", view->upperPlane));
    setNewLowerUpper();
}

void Layout::setNewLowerUpper()
{
    // While a computation runs the reader belongs to it, and the planes on show are the
    // running job's.
    if (task.isRunning())
        return;
    const bool anyScan = onScanChange();
    if (ui->chk_facade->isChecked()) {
        // A facade's planes are distances from its line.
        ui->e_lower->setText(formatUserReal(FacadeLine::defaultLow, locale()));
        ui->e_upper->setText(formatUserReal(FacadeLine::defaultHigh, locale()));
        return;
    }
    // Without a checked scan the planes are -1 and 1; an azimuth that is no number leaves
    // the project's frame until it is one. The reader serves one thread at a time: a pass
    // of the preview that reads it is stopped meanwhile and asked for again.
    const double azimuth = parseUserReal(ui->e_azimuth->text(), locale()).value_or(0.0);
    const bool previewing = preview.isRunning();
    if (previewing)
        preview.stopAndWait();
    const ClipPlanes planes = anyScan
                                  ? defaultClipPlanes(*task.reader, scanSelection, checkedView(),
                                                      config.scannerDomain, LayoutFrame{azimuth})
                                  : ClipPlanes{};
    if (previewing)
        requestPreview();
    // Whole metres in plain digits, also for georeferenced depths beyond the int range.
    const QString lower = QString::number(planes.low, 'f', 0);
    const QString upper = QString::number(planes.high, 'f', 0);
    ui->e_lower->setText(lower);
    ui->e_upper->setText(upper);
}

bool Layout::onScanChange()
{
    if (!task.reader)
        return false;
    scanSelection.resize(task.reader->scanCount());
    bool any = false;
    int row = 0;
    for (auto it = scanIndexByName.cbegin();
         it != scanIndexByName.cend() && row < ui->w_tab->count(); ++it, ++row) {
        const bool checked = ui->w_tab->item(row)->checkState() == Qt::Checked;
        if (it.value() >= 0 && it.value() < scanSelection.size())
            scanSelection.setBit(it.value(), checked);
        any = any || checked;
    }
    updateRunButtons();
    return any;
}

void Layout::checkAllScans(Qt::CheckState state)
{
    {
        // One change for the whole list, not one per row.
        const QSignalBlocker quiet(ui->w_tab);
        for (int row = 0; row < ui->w_tab->count(); ++row) {
            ui->w_tab->item(row)->setCheckState(state);
            ui->w_tab->item(row)->setSelected(false);
        }
    }
    ui->w_tab->viewport()->update();
    onScanChange();
    requestPreview();
}

void Layout::scanItemSelect(QListWidgetItem* item)
{
    if (!item)
        return;
    const Qt::CheckState state = item->checkState() == Qt::Checked ? Qt::Checked : Qt::Unchecked;
    {
        // The rows changed here must not call back in.
        const QSignalBlocker quiet(ui->w_tab);
        for (QListWidgetItem* selected : ui->w_tab->selectedItems()) {
            selected->setCheckState(state);
            selected->setSelected(false);
        }
    }
    // The view is not told of changes made while its signals were blocked.
    ui->w_tab->viewport()->update();
    onScanChange();
    requestPreview();
}

void Layout::onChooseExport()
{
    if (isBusy())
        return;
    // Offered beside the scans, where a user looks first, unless an output was chosen before.
    QString offered = defaultLogName(jobView());
    if (!lastOutputFolder.isEmpty())
        offered = QDir(lastOutputFolder).filePath(offered);
    else if (!inputPaths.isEmpty())
        offered = QDir(QFileInfo(QDir::fromNativeSeparators(inputPaths.first())).absolutePath())
                      .filePath(offered);
    const QString chosen = UserDialogs::saveFileName(
        this, QCoreApplication::translate("Layout", "Save Layout As"), offered,
        QCoreApplication::translate("Layout", "Layout log (*.log)"));
    if (chosen.isEmpty())
        return;
    QString path = chosen;
    if (!path.endsWith(QLatin1String(".log")))
        path += QLatin1String(".log");
    if (!fitsLatin1(QFileInfo(path).fileName())) {
        UserDialogs::show(this, UserDialogs::Icon::Warning,
                          QCoreApplication::translate("Layout", "Warning"),
                          QCoreApplication::translate(
                              "Layout", "The layout's file name may hold letters such as ß and ü, "
                                        "but no characters beyond Latin-1:\n%1\n\nPlease "
                                        "choose another name!")
                              .arg(QFileInfo(path).fileName()));
        return;
    }
    ui->l_out->setText(path);
    lastOutputFolder = QFileInfo(path).absolutePath();
    ui->step4->setEnabled(true);
    ui->step5->setEnabled(true);
    ui->step6->setEnabled(true);
    updateRunButtons();
}

void Layout::onStartStop()
{
    if (batchProcessing()) {
        UserDialogs::message(this,
                             QCoreApplication::translate(
                                 "Layout", "Permission denied while batch processing is running!"));
        return;
    }
    if (task.isRunning()) {
        task.requestStop(); // once is enough; the report comes from what the engine did
        return;
    }
    if (listing)
        return;

    layoutdef job;
    if (!checkedJob(job))
        return;
    rememberHandOff();
    const OutputFolder output = prepareOutputFolder(job.outputFile);
    if (output.outcome != OutputFolder::Ready) {
        UserDialogs::show(this, UserDialogs::Icon::Warning,
                          QCoreApplication::translate("Layout", "Warning"),
                          outputFolderMessage(output));
        return;
    }
    createdOutputFolders = output.created;

    // The reader is the layout's now.
    preview.stopAndWait();
    previewTimer.stop();
    previewPanel->showIdle();
    for (QGroupBox* step : {ui->step1, ui->step2, ui->step3, ui->step4, ui->step5})
        step->setEnabled(false);
    task.mode = ComputeLayout;
    task.job = job;
    task.start(QThread::InheritPriority);
    updateTimer.start();
    updateRunButtons();
    ui->b_start->setText(QCoreApplication::translate("LayoutForm", "Stop"));
}

void Layout::rememberHandOff()
{
    HandOffChoices chosen;
    chosen.dxf = ui->chk_dxf->isChecked();
    chosen.pdfPaper = ui->cb_pdf->currentData().toString();
    chosen.crs = ui->e_crs->text().trimmed();
    if (chosen == config.handOff)
        return;
    // Written into the file as it is now: the preferences may have changed it meanwhile.
    const QString path = configFilePath();
    ConfigSettings current = defaultConfig();
    readConfig(path, current);
    current.handOff = chosen;
    if (saveConfig(current, path))
        config.handOff = chosen;
    else
        diag::warning("WARNING: the Layout Creator's choices could not be saved to " +
                      path.toStdString());
}

// Says what is wrong in the words of the fields, puts the focus on the first faulty one
// and returns false; or fills job and returns true.
bool Layout::checkedJob(layoutdef& job)
{
    const auto refuse = [this](QLineEdit* faulty, const QString& message) {
        UserDialogs::show(this, UserDialogs::Icon::Warning,
                          QCoreApplication::translate("Layout", "Warning"), message);
        if (faulty) {
            faulty->setFocus(Qt::OtherFocusReason);
            faulty->selectAll();
        }
        return false;
    };
    // Numbers in the user's notation: under German conventions "2,5" as well as "2.5".
    const QLocale notation = locale();
    const std::optional<double> upper = parseUserReal(ui->e_upper->text(), notation);
    const std::optional<double> lower = parseUserReal(ui->e_lower->text(), notation);
    const std::tuple<bool, QLineEdit*, QLabel*> planes[] = {
        {upper.has_value(), ui->e_upper, ui->sl_upper},
        {lower.has_value(), ui->e_lower, ui->sl_lower}};
    for (const auto& [isNumber, field, name] : planes) {
        if (!isNumber)
            return refuse(field, QCoreApplication::translate(
                                     "Layout", "Clipping Planes: \"%1\" is not a number of "
                                               "metres for %2!")
                                     .arg(field->text(), name->text()));
    }
    if (!(*lower < *upper))
        return refuse(ui->e_upper,
                      QCoreApplication::translate(
                          "Layout", "Clipping Planes: %1 (%2 m) must lie below %3 (%4 m), or "
                                    "the layout holds nothing!")
                          .arg(ui->sl_lower->text(), formatUserReal(*lower, notation),
                               ui->sl_upper->text(), formatUserReal(*upper, notation)));

    // The frame: an azimuth that is a number, or a facade of two distinct points.
    const bool facade = ui->chk_facade->isChecked();
    if (facade ? !facadeLine() : !parseUserReal(ui->e_azimuth->text(), notation))
        return refuse(facade ? ui->e_facadeX1 : ui->e_azimuth,
                      facade
                          ? QCoreApplication::translate(
                                "Layout", "Please set two facade points at least 1 cm apart!")
                          : QCoreApplication::translate("Layout", "Please set a valid azimuth!"));

    // A plan's coordinate system must be one PROJ knows, in metres.
    if (jobView() == Top && !facade && !ui->e_crs->text().trimmed().isEmpty()) {
        QString why;
        if (!coordinateSystem(ui->e_crs->text(), &why))
            return refuse(ui->e_crs, QCoreApplication::translate(
                                         "Layout", "The coordinate system cannot be used: %1")
                                         .arg(why));
    }

    if (!getLayoutSettings(job)) {
        diag::error("Something is wrong with the settings");
        return false;
    }
    // Preferences no layout can be made with are named before any scan is read, with the
    // line of the configuration file that holds them.
    const GeometryProblem problem =
        layoutGeometryProblem(job.resolution, job.scannerDomain, job.tileSize);
    if (problem.field != GeometryProblem::None)
        return refuse(nullptr, configProblemMessage(problem, configFilePath()) + QLatin1Char('\n') +
                                   tileLimitHint());
    return true;
}

void Layout::updateProcess()
{
    if (task.isRunning()) {
        ui->sl_compstatus->setText(displayedStatusText(task.creator.statusText()));
        const double total = task.creator.progressTotal;
        const double percent = std::trunc(double(task.creator.progressDone) / total * 100.0);
        if (percent >= 0.0 && percent <= 100.0)
            ui->progressBar->setValue(int(percent));
        return;
    }
    if (reportsHeld)
        return;
    updateTimer.stop();
    // Nothing was written after a failure or a stop: the output choice stays for the retry.
    const bool written = !task.creator.interrupted && !task.creator.failed;
    reportOutcome();
    resetPanel(!written);
}

void Layout::reportOutcome()
{
    const bool written = !task.creator.interrupted && !task.creator.failed;
    if (!written) {
        // A run that wrote nothing leaves no folder made for it.
        removeCreatedFolders(createdOutputFolders);
    }
    createdOutputFolders.clear();
    // Only what the engine did counts: a Stop pressed after its last checkpoint found the
    // layout completed, and it is reported so.
    if (task.creator.interrupted) {
        UserDialogs::show(this, UserDialogs::Icon::Information,
                          QCoreApplication::translate("Layout", "Information"),
                          QCoreApplication::translate("Layout", "Computation interrupted!"));
    } else if (task.creator.failed) {
        const QString message =
            task.noScanRead()
                ? noScansReadMessage(task.damagedScans())
                : layoutFailureMessage(task.creator.errorCode, task.job.resolution,
                                       task.job.tileSize,
                                       QString::fromStdString(task.creator.failurePath()),
                                       QString::fromStdString(task.creator.failureCause()));
        if (!message.isEmpty())
            UserDialogs::show(this, UserDialogs::Icon::Critical,
                              QCoreApplication::translate("Layout", "Error"), message);
    } else {
        const QString folder = QFileInfo(task.creator.logFilePath()).absolutePath();
        const std::vector<DamagedScan>& damaged = task.damagedScans();
        const QString openFolder = QCoreApplication::translate("Layout", "Open Folder");
        const bool open =
            damaged.empty()
                ? UserDialogs::offer(this, UserDialogs::Icon::Information,
                                     QCoreApplication::translate("Layout", "Information"),
                                     layoutSuccessMessage(folder, task.tilesWritten()), openFolder)
                : UserDialogs::offer(this, UserDialogs::Icon::Warning,
                                     QCoreApplication::translate("Layout", "Warning"),
                                     damagedScansMessage(damaged, folder, task.tilesWritten()),
                                     openFolder);
        if (!task.missingOverviewPictures().isEmpty())
            UserDialogs::show(this, UserDialogs::Icon::Warning,
                              QCoreApplication::translate("Layout", "Warning"),
                              overviewPicturesWarning(task.missingOverviewPictures()));
        if (open)
            UserDialogs::openFolder(this, folder);
    }
}

void Layout::resetPanel(bool keepOutput)
{
    // Start (or Stop) had the focus and may go grey: the next step gets it, so the keyboard
    // does not land in a field that takes no input.
    const QWidget* focus = QApplication::focusWidget();
    const bool focusInFinalStep = focus && ui->step6->isAncestorOf(focus);
    ui->step6->setEnabled(keepOutput);
    ui->sl_compstatus->clear();
    if (!keepOutput)
        ui->l_out->clear();
    ui->progressBar->setValue(0);
    ui->b_start->setText(QCoreApplication::translate("LayoutForm", "Start"));
    for (QGroupBox* step : {ui->step1, ui->step2, ui->step3, ui->step4, ui->step5})
        step->setEnabled(true);
    updateRunButtons();
    if (focusInFinalStep)
        (keepOutput && ui->b_start->isEnabled() ? ui->b_start : ui->b_out)
            ->setFocus(Qt::OtherFocusReason);
}

void Layout::onAddBatch()
{
    if (!batchList)
        return;
    // The checks of Start: a queued job that cannot run would only fail later, unattended.
    layoutdef job;
    if (checkedJob(job))
        batchList->addBatchJob(job);
}

void Layout::requestPreview()
{
    if (!task.reader || listing || task.isRunning())
        return;
    onScanChange();
    if (!scanSelection.count(true)) {
        preview.requestStop();
        previewPanel->setPreview(nullptr);
        previewPanel->showIdle(
            QCoreApplication::translate("Layout", "Check scans to see the site."));
        return;
    }
    PreviewTask::Request request;
    request.source = task.reader.get();
    request.scans = scanSelection;
    request.scannerDomain = config.scannerDomain;
    preview.request(request);
    if (preview.isRunning()) {
        previewPanel->showProgress(0);
        previewTimer.start();
    }
}

LayoutJob Layout::previewJob() const
{
    const QLocale notation = locale();
    LayoutJob job;
    job.view = jobView();
    job.azimuth = parseUserReal(ui->e_azimuth->text(), notation).value_or(0.0);
    job.scanList = scanSelection;
    job.tileSize = config.tileSize;
    job.scannerDomain = config.scannerDomain;
    // Planes that are no numbers yet stay where the handles are.
    const double low =
        parseUserReal(ui->e_lower->text(), notation).value_or(previewPanel->strip()->low());
    const double high =
        parseUserReal(ui->e_upper->text(), notation).value_or(previewPanel->strip()->high());
    job.clipLow = low;
    job.clipHigh = high;
    if (ui->chk_facade->isChecked()) {
        if (const std::optional<FacadeLine> line = facadeLine())
            setFacade(job, *line, low, high);
    }
    return job;
}

void Layout::showPreviewJob()
{
    if (previewPanel && previewPanel->preview())
        previewPanel->setJob(previewJob());
}

void Layout::setPlanesFromPreview(double low, double high)
{
    const QLocale notation = locale();
    ui->e_lower->setText(formatUserFixed(low, 2, notation));
    ui->e_upper->setText(formatUserFixed(high, 2, notation));
}

void Layout::setFacadeFromPreview(const FacadeLine& line)
{
    const QLocale notation = locale();
    {
        // One change of the job for the four points, not four.
        const QSignalBlocker quiet(ui->chk_facade);
        ui->chk_facade->setChecked(true);
    }
    ui->e_facadeX1->setText(formatUserFixed(line.from.x, 2, notation));
    ui->e_facadeY1->setText(formatUserFixed(line.from.y, 2, notation));
    ui->e_facadeX2->setText(formatUserFixed(line.to.x, 2, notation));
    ui->e_facadeY2->setText(formatUserFixed(line.to.y, 2, notation));
    onFacadeToggled(true);
}

bool Layout::eventFilter(QObject* watched, QEvent* event)
{
    // The listing runs to its end; its window cannot be closed meanwhile.
    if (watched == progressWindow && event->type() == QEvent::Close && listing) {
        event->ignore();
        return true;
    }
    return QDockWidget::eventFilter(watched, event);
}

} // namespace orthaven

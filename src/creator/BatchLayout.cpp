#include "creator/BatchLayout.h"

#include "cli/JobLine.h"
#include "creator/ResultMessages.h"
#include "diag/Diagnostics.h"
#include "layout/NumberText.h"
#include "platform/AppPaths.h"
#include "settings/ConfigSettings.h"
#include "uikit/Keyboard.h"
#include "uikit/UserDialogs.h"

#include "ui_BatchLayoutForm.h"

#include <QDir>
#include <QEvent>
#include <QHeaderView>
#include <QTableWidget>

#include <algorithm>
#include <cmath>

namespace orthaven {

namespace {

constexpr int resultColumn = 7;

} // namespace

BatchLayout::BatchLayout(QWidget* parent) : QDockWidget(parent), ui(new Ui::BatchLayoutForm)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("BatchLayout"));
    jobTable = ui->jobTable;
    jobTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    jobTable->setWordWrap(false);
    jobTable->setTextElideMode(Qt::ElideMiddle);
    // Tab goes on to the buttons; the arrow keys move within the list.
    jobTable->setTabKeyNavigation(false);
    // The list's own width decides: a window that restores its docks before it shows gives
    // the dock its size before the list inside it is laid out.
    jobTable->viewport()->installEventFilter(this);
    // Room for a few jobs; the dock grows with the window.
    jobTable->setMinimumHeight(jobTable->horizontalHeader()->sizeHint().height() +
                               4 * jobTable->verticalHeader()->defaultSectionSize());

    for (QPushButton* button : {ui->b_up, ui->b_down, ui->b_remove, ui->b_run})
        connect(button, &QPushButton::clicked, this, &BatchLayout::onButton);
    connect(jobTable, &QTableWidget::itemSelectionChanged, this, &BatchLayout::updateButtons);
    connect(&batchRunner, &BatchRunner::jobStarted, this, &BatchLayout::jobStarted);
    connect(&batchRunner, &BatchRunner::jobFinished, this, &BatchLayout::jobFinished);
    connect(&batchRunner, &BatchRunner::finished, this, &BatchLayout::batchFinished);
    updateTimer.setInterval(200);
    connect(&updateTimer, &QTimer::timeout, this, &BatchLayout::updateProcess);
    pressButtonsWithEnter(this);
    updateButtons();
}

BatchLayout::~BatchLayout()
{
    stopAndWait();
}

bool BatchLayout::isProcessing() const
{
    return batchRunner.isRunning();
}

void BatchLayout::stopAndWait()
{
    updateTimer.stop();
    if (batchRunner.isRunning())
        diag::debug("Waiting for the batch list to end ...");
    batchRunner.stopAndWait();
}

QString BatchLayout::viewName(std::uint32_t view)
{
    if (const ViewInfo* info = viewInfo(view))
        return tr(info->name);
    return QString::number(view);
}

void BatchLayout::setListFile(const QString& path)
{
    listFile = path;
    ConfigSettings config = defaultConfig();
    readConfig(configFilePath(), config);
    QStringList problems;
    jobs = readBatchList(path, config, problems);
    jobTexts = QStringList(jobs.size(), BatchRunner::outcomeText({}));
    jobDetails = QStringList(jobs.size());
    showJobs();
    if (!problems.isEmpty()) {
        const QString text = tr("Some jobs of %1 could not be taken over:\n%2")
                                 .arg(QDir::toNativeSeparators(path), problems.join('\n'));
        ui->sl_status->setText(text);
        diag::warning(text.toStdString());
    }
}

bool BatchLayout::addBatchJob(orthaven::layoutdef def)
{
    if (isProcessing()) {
        UserDialogs::show(this, UserDialogs::Icon::Warning, windowTitle(),
                          tr("Permission denied while batch processing is running!"));
        return false;
    }
    for (const layoutdef& job : std::as_const(jobs)) {
        if (job.outputFile.compare(def.outputFile, Qt::CaseInsensitive) == 0) {
            UserDialogs::show(this, UserDialogs::Icon::Warning, windowTitle(),
                              tr("Layout output file already in batch list!"));
            return false;
        }
    }
    jobs.append(def);
    // The bar of the last run counted other jobs.
    ui->pb_overall->setRange(0, int(jobs.size()));
    ui->pb_overall->setValue(0);
    jobTexts.append(BatchRunner::outcomeText({}));
    jobDetails.append(QString());
    jobTable->insertRow(jobTable->rowCount());
    showJob(int(jobs.size()) - 1);
    fitColumns();
    saveList();
    updateButtons();
    // The job is seen where it went.
    show();
    raise();
    return true;
}

void BatchLayout::showJobs()
{
    jobTable->setRowCount(int(jobs.size()));
    for (int row = 0; row < jobs.size(); ++row)
        showJob(row);
    fitColumns();
    updateButtons();
}

bool BatchLayout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == jobTable->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QDockWidget::eventFilter(watched, event);
}

void BatchLayout::fitColumns()
{
    // Paths as wide as they are, up to a third of the list; longer ones lose their middle.
    // The result column takes what is left.
    const int widest = std::max(120, jobTable->viewport()->width() / 3);
    for (int column = 0; column < resultColumn; ++column) {
        jobTable->resizeColumnToContents(column);
        jobTable->setColumnWidth(column, std::min(jobTable->columnWidth(column), widest));
    }
}

void BatchLayout::showJob(int row)
{
    const layoutdef& def = jobs[row];
    QString input;
    if (def.inputFiles.size() == 1)
        input = def.inputFiles.first();
    else if (def.inputFiles.size() > 1)
        input = tr("Multiple Input Files");
    // Numbers in the notation of the window's language ("0,5/2,5" in German).
    const auto number = [](double value) {
        return inNotation(formatShortReal(value), textLocale());
    };
    const QString cells[8] = {
        def.outputFile,
        viewName(def.view),
        QStringLiteral("%1/%2").arg(number(def.clipLow), number(def.clipHigh)),
        def.imageType,
        input,
        number(layoutFrame(def).azimuth) + QStringLiteral("°"),
        QCoreApplication::translate("Layout", def.layer == LayoutLayer::Intensity ? "Intensity"
                                              : def.layer == LayoutLayer::Colour  ? "Colour"
                                                                                  : "Density"),
        jobTexts.value(row),
    };
    for (int column = 0; column < 8; ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        // Enabled too: a view lets nobody select an item that is not enabled, and shows it
        // greyed out. Never editable.
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        if (column == 4)
            item->setToolTip(QDir::toNativeSeparators(def.inputFiles.join('\n')));
        else if (column == resultColumn && !jobDetails.value(row).isEmpty())
            item->setToolTip(jobDetails.value(row));
        else
            item->setToolTip(cells[column]);
        jobTable->setItem(row, column, item);
    }
}

QList<int> BatchLayout::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : jobTable->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void BatchLayout::updateButtons()
{
    const bool running = isProcessing();
    const QList<int> rows = selectedRows();
    ui->b_up->setEnabled(!running && !rows.isEmpty() && rows.first() > 0);
    ui->b_down->setEnabled(!running && !rows.isEmpty() && rows.last() < jobs.size() - 1);
    ui->b_remove->setEnabled(!running && !rows.isEmpty());
    ui->b_run->setEnabled(running || !jobs.isEmpty());
    ui->b_run->setText(running ? tr("&Stop") : tr("Run &All"));
}

void BatchLayout::onButton()
{
    const QObject* from = sender();
    if (from == ui->b_run) {
        if (isProcessing()) {
            batchRunner.requestStop();
            ui->sl_status->setText(tr("Stopping ..."));
            return;
        }
        for (int row = 0; row < jobs.size(); ++row) {
            jobTexts[row] = BatchRunner::outcomeText({});
            jobDetails[row].clear();
        }
        showJobs();
        ui->pb_overall->setRange(0, int(jobs.size()));
        ui->pb_overall->setValue(0);
        ui->pb_overall->setTextVisible(true);
        ui->pb_job->setValue(0);
        ui->sl_status->clear();
        if (batchRunner.start(jobs))
            updateTimer.start();
        updateButtons();
    } else if (from == ui->b_up) {
        moveSelected(-1);
    } else if (from == ui->b_down) {
        moveSelected(+1);
    } else if (from == ui->b_remove) {
        removeSelected();
    }
}

void BatchLayout::moveSelected(int step)
{
    QList<int> rows = selectedRows();
    if (rows.isEmpty() || isProcessing())
        return;
    if ((step < 0 && rows.first() == 0) || (step > 0 && rows.last() == jobs.size() - 1))
        return;
    // Moving down, the lowest row goes first, so rows never pass each other.
    if (step > 0)
        std::reverse(rows.begin(), rows.end());
    for (int row : std::as_const(rows)) {
        jobs.swapItemsAt(row, row + step);
        jobTexts.swapItemsAt(row, row + step);
        jobDetails.swapItemsAt(row, row + step);
    }
    showJobs();
    jobTable->clearSelection();
    for (int row : std::as_const(rows))
        jobTable->selectionModel()->select(jobTable->model()->index(row + step, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    saveList();
}

void BatchLayout::removeSelected()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty() || isProcessing())
        return;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        jobs.removeAt(*it);
        jobTexts.removeAt(*it);
        jobDetails.removeAt(*it);
    }
    jobTable->clearSelection();
    showJobs();
    saveList();
}

void BatchLayout::saveList()
{
    if (listFile.isEmpty())
        return;
    if (!writeBatchList(jobs, listFile))
        ui->sl_status->setText(
            tr("The batch list could not be saved to %1!").arg(QDir::toNativeSeparators(listFile)));
}

void BatchLayout::updateProcess()
{
    const int index = batchRunner.currentJob();
    if (index < 0)
        return;
    const StatusSnapshot status = batchRunner.status();
    const double percent = std::trunc(double(status.progressDone) / status.progressTotal * 100.0);
    if (percent >= 0.0 && percent <= 100.0)
        ui->pb_job->setValue(int(percent));
    // Before the engine's first stage the job's files are being read.
    ui->sl_status->setText(
        tr("Job %1 of %2: %3")
            .arg(index + 1)
            .arg(jobs.size())
            .arg(status.statusText.empty()
                     ? QCoreApplication::translate("Layout", "Scanning input files ...")
                     : displayedStatusText(status.statusText)));
}

void BatchLayout::jobStarted(int index)
{
    jobTexts[index] = BatchRunner::outcomeText(batchRunner.outcomes().value(index));
    showJob(index);
    ui->pb_job->setValue(0);
    jobTable->scrollToItem(jobTable->item(index, 0));
}

void BatchLayout::jobFinished(int index)
{
    const BatchOutcome& outcome = batchRunner.outcomes().value(index);
    jobTexts[index] = BatchRunner::outcomeText(outcome);
    jobDetails[index] = outcome.message;
    showJob(index);
    // Jobs of the same scans end together, not in the list's order.
    const QList<BatchOutcome>& outcomes = batchRunner.outcomes();
    ui->pb_overall->setValue(
        int(std::count_if(outcomes.begin(), outcomes.end(), [](const BatchOutcome& o) {
            return o.kind != BatchOutcome::Waiting && o.kind != BatchOutcome::Running &&
                   o.kind != BatchOutcome::NotRun;
        })));
}

void BatchLayout::batchFinished()
{
    updateTimer.stop();
    const QList<BatchOutcome>& outcomes = batchRunner.outcomes();
    for (int k = 0; k < outcomes.size() && k < jobs.size(); ++k) {
        jobTexts[k] = BatchRunner::outcomeText(outcomes[k]);
        jobDetails[k] = outcomes[k].message;
    }
    showJobs();
    const auto count = [&outcomes](std::initializer_list<BatchOutcome::Kind> kinds) {
        return std::count_if(outcomes.begin(), outcomes.end(), [kinds](const BatchOutcome& o) {
            return std::find(kinds.begin(), kinds.end(), o.kind) != kinds.end();
        });
    };
    const auto written = count({BatchOutcome::Written, BatchOutcome::Incomplete});
    ui->pb_job->setValue(0);
    ui->sl_status->setText(tr("Layouts written: %1 of %2").arg(written).arg(outcomes.size()));
    updateButtons();
}

} // namespace orthaven

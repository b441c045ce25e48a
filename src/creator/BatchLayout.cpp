#include "creator/BatchLayout.h"

#include "settings/ConfigSettings.h"
#include "uikit/UserDialogs.h"

#include "ui_BatchLayoutForm.h"

#include <QTableWidget>

namespace orthaven {

BatchLayout::BatchLayout(QWidget* parent) : QDockWidget(parent), ui(new Ui::BatchLayoutForm)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("BatchLayout"));
    jobTable = ui->jobTable;
}

BatchLayout::~BatchLayout()
{
    // QThread must not be destroyed while it runs.
    batchThread.quit();
    batchThread.wait();
}

bool BatchLayout::isProcessing() const
{
    return batchThread.isRunning();
}

QString BatchLayout::viewName(std::uint32_t view)
{
    if (const ViewInfo* info = viewInfo(view))
        return tr(info->name);
    return QString::number(view);
}

bool BatchLayout::addBatchJob(orthaven::layoutdef def)
{
    for (const layoutdef& job : std::as_const(jobs)) {
        if (job.outputFile.compare(def.outputFile, Qt::CaseInsensitive) == 0) {
            UserDialogs::message(this, tr("Layout output file already in batch list!"));
            return false;
        }
    }
    jobs.append(def);
    jobTexts.append(QString());

    QString input;
    if (def.inputFiles.size() == 1)
        input = def.inputFiles.first();
    else if (def.inputFiles.size() > 1)
        input = tr("Multiple Input Files");
    const QString cells[6] = {
        def.outputFile,
        viewName(def.view),
        QStringLiteral("%1/%2").arg(formatShortReal(def.clipLow), formatShortReal(def.clipHigh)),
        def.imageType,
        input,
        formatShortReal(layoutFrame(def).azimuth) + QStringLiteral("°"),
    };

    const int row = jobTable->rowCount();
    jobTable->insertRow(row);
    for (int column = 0; column < 6; ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        // Enabled too: a view lets nobody select an item that is not enabled, and shows it
        // greyed out. Never editable.
        item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        jobTable->setItem(row, column, item);
    }
    return true;
}

// This program collects jobs but attaches no batch runner: the Layout Creator shows no
// batch button, and no control of this panel is wired to these slots.
void BatchLayout::onButton() {}

void BatchLayout::updateProcess() {}

} // namespace orthaven

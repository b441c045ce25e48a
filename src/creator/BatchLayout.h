#pragma once
// The batch list: a dock of layout jobs that the Layout Creator hands over, each a copy of
// its job with every setting it runs and draws with, run with overall and per-job progress
// (jobs of the same scan files together, from one reading of them). Jobs can be removed
// and reordered; each one's outcome is shown in its row. With a list file the jobs are
// kept there (a job file of orthaven-layout), so the list outlives the window.

#include "creator/BatchRunner.h"
#include "layout/LayoutJob.h"

#include <QDockWidget>
#include <QList>
#include <QStringList>
#include <QTimer>

#include <memory>

class QTableWidget;

namespace Ui {
class BatchLayoutForm;
}

namespace orthaven {

class BatchLayout : public QDockWidget
{
    Q_OBJECT
public:
    explicit BatchLayout(QWidget* parent = nullptr);
    ~BatchLayout() override;

    // Takes the jobs of the list file at path (what cannot be read there is said in the
    // dock's status line) and keeps the list there from now on.
    void setListFile(const QString& path);

    // True while the jobs run; the Layout Creator then keeps its inputs and its own
    // computation still.
    bool isProcessing() const;
    // Stops the running job and starts no other; returns once it has ended.
    void stopAndWait();

    const QList<layoutdef>& batchJobs() const { return jobs; }
    // One text per job: how it ended in the last run, "Waiting" before.
    const QStringList& batchJobTexts() const { return jobTexts; }
    const BatchRunner& runner() const { return batchRunner; }

    // The name shown for a view code; the number itself for a code without a name.
    static QString viewName(std::uint32_t view);

public slots:
    // Appends a copy of def, unless a job already writes the same layout file (compared
    // without regard to letter case, as the file system does on Windows) or the jobs run.
    bool addBatchJob(orthaven::layoutdef def);

protected:
    // The columns are fitted again to the width the list has now.
    bool eventFilter(QObject* watched, QEvent* event) override;

protected slots:
    void onButton();
    void updateProcess();

private:
    void showJobs();
    void showJob(int row);
    void fitColumns();
    void moveSelected(int step);
    void removeSelected();
    void saveList();
    void jobStarted(int index);
    void jobFinished(int index);
    void batchFinished();
    void updateButtons();
    QList<int> selectedRows() const;

    std::unique_ptr<Ui::BatchLayoutForm> ui;
    BatchRunner batchRunner;
    QTimer updateTimer;
    QList<layoutdef> jobs;
    QStringList jobTexts;   // one per job
    QStringList jobDetails; // the whole message of an outcome, shown as the row's tool tip
    QTableWidget* jobTable = nullptr;
    QString listFile;
};

} // namespace orthaven

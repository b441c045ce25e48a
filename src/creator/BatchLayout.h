#pragma once
// A dockable list of layout jobs collected for processing one after another. The Layout
// Creator hands it copies of its jobs and asks it whether it is busy.

#include "layout/LayoutJob.h"

#include <QDockWidget>
#include <QList>
#include <QStringList>
#include <QThread>

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

    // True while the batch worker runs; the Layout Creator then keeps its inputs and its own
    // computation still.
    bool isProcessing() const;

    const QList<layoutdef>& batchJobs() const { return jobs; }
    const QStringList& batchJobTexts() const { return jobTexts; }

    // The name shown for a view code; the number itself for a code without a name.
    static QString viewName(std::uint32_t view);

public slots:
    // Appends a copy of def, unless a job already writes the same layout file (compared
    // without regard to letter case, as the file system does on Windows).
    bool addBatchJob(orthaven::layoutdef def);

protected slots:
    void onButton();
    void updateProcess();

protected:
    // The thread a batch runner processes the jobs on.
    QThread& worker() { return batchThread; }

private:
    std::unique_ptr<Ui::BatchLayoutForm> ui;
    QThread batchThread; // its running state is "batch processing is running"
    QList<layoutdef> jobs;
    QStringList jobTexts; // one per job, empty when the job is added
    QTableWidget* jobTable = nullptr;
};

} // namespace orthaven

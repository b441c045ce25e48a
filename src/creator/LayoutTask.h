#pragma once
// The worker thread behind the Layout Creator: it lists the scans of the chosen input
// files and computes layouts with one engine, reusing the reader between the two.

#include "creator/layoutdef.h"
#include "engine/LayoutCreator.h"
#include "scan/ScanSource.h"
#include "settings/ConfigSettings.h"

#include <QString>
#include <QThread>

#include <memory>

namespace orthaven {

enum TaskMode : int {
    FetchScans = 1,      // open the input files and learn their scans
    ComputeLayout = 2,   // compute the layout of the job and draw the overview pictures
    FetchAndCompute = 3, // both in one run, from the job record alone
};

// The axis names of the overview pictures for a view: horizontal and vertical.
struct AxisLabels
{
    QString horizontal;
    QString vertical;
};
AxisLabels axisLabelsFor(std::uint32_t view);

class LayoutTask : public QThread
{
    Q_OBJECT
public:
    explicit LayoutTask(QObject* parent = nullptr);
    // A task whose thread still runs is stopped and waited for, so the engine can remove
    // its temporary files before the task goes away.
    ~LayoutTask() override;

    // Replaces the reader by the one for the first input file of the job (chosen by its
    // lower-cased extension). True when a reader exists afterwards.
    bool createReader();

    // Asks a running computation to end early and waits for the thread.
    void stopAndWait();

    // Written by the GUI thread only while the thread is not running (except the engine's
    // status record, see StatusReporter).
    ConfigSettings config;
    int mode = FetchScans;
    std::unique_ptr<ScanSource> reader;
    LayoutCreator creator;
    layoutdef job;
    bool result = false;

protected:
    void run() override;

private:
    bool fetch();
    void compute();
    void drawOverviewPictures();
};

} // namespace orthaven

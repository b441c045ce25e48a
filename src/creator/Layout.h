#pragma once
// The Layout Creator: the dock panel in which the user picks the scans, the view, the
// clipping planes and the output of one layout job, then starts, watches and stops it.

#include "creator/LayoutTask.h"
#include "creator/PreviewTask.h"
#include "layout/LayoutJob.h"
#include "settings/ConfigSettings.h"

#include <QBitArray>
#include <QDockWidget>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

class QListWidgetItem;

namespace Ui {
class LayoutForm;
class ProgressForm;
} // namespace Ui

namespace orthaven {

class BatchLayout;
class SitePreviewPanel;

// True when every character of text has a Latin-1 code.
bool fitsLatin1(const QString& text);

class Layout : public QDockWidget
{
    Q_OBJECT
public:
    explicit Layout(QWidget* parent = nullptr);
    ~Layout() override;

    // Fills job from the panel (see the validation in LayoutSettings.h).
    bool getLayoutSettings(layoutdef& job) const;

    // Attaches the optional batch list (or detaches it with null). Its button shows only
    // while one is attached.
    void setBatchList(BatchLayout* list);

    // Before the window goes away: a computation is asked to stop, a listing is let finish,
    // and both are waited for, so the engine has removed its temporary files. The panel is
    // reset without a result message; a listing that was waited for is dropped.
    void stopAndWait();

    // Listing scans or computing a layout.
    bool isBusy() const;
    // While held, a computation that ends is not reported yet (the window asks whether to
    // quit); the report comes once they are let go.
    void holdReports(bool hold) { reportsHeld = hold; }

    LayoutTask& layoutTask() { return task; }
    PreviewTask& previewTask() { return preview; }
    const QStringList& inputFiles() const { return inputPaths; }

public slots:
    void preferencesChanged();

protected slots:
    void onChooseImport();
    void onChooseExport();
    void onStartStop();
    void onAddBatch();
    void updateProcess();
    void onViewChange();
    void onFacadeToggled(bool on);
    void showFacadeAzimuth();
    void setNewLowerUpper();
    void scanItemSelect(QListWidgetItem* item);
    bool onScanChange();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Listing
    {
        Listed,
        Failed,
        PathRefused // the reader of a file's format cannot take its path
    };

    std::uint32_t checkedView() const;
    // The view the job will have: Front for a facade, else the checked one.
    std::uint32_t jobView() const;
    // The facade of the four fields, when they hold one.
    std::optional<FacadeLine> facadeLine() const;
    bool batchProcessing() const;
    Listing listScans();
    void runTaskAndWait();
    void showProgressWindow();
    void hideProgressWindow();
    void fillScanList(const QStringList& names);
    void checkAllScans(Qt::CheckState state); // "Select All", "Select None"
    void showConfiguration();                 // the information box
    void reportOutcome();
    // After a run; keepOutput: the output choice stays (nothing was written there).
    void resetPanel(bool keepOutput);
    void updateRunButtons(); // Start and Add to Batch List by the scans and the run
    bool checkedJob(layoutdef& job);
    // The choices of what goes beside the tiles, into the configuration file.
    void rememberHandOff();
    // The site preview: a pass over the checked scans (or the kept preview), and the job as
    // the fields describe it, for the profile and the plan.
    void requestPreview();
    void showPreviewJob();
    LayoutJob previewJob() const;
    void setPlanesFromPreview(double low, double high);
    void setFacadeFromPreview(const FacadeLine& line);

    std::unique_ptr<Ui::LayoutForm> ui;
    std::unique_ptr<Ui::ProgressForm> progressUi;
    QWidget* progressWindow = nullptr; // child window, shown while scans are listed

    QStringList inputPaths;             // the chosen input files
    QBitArray scanSelection;            // one flag per scan index of the reader
    QMap<QString, int> scanIndexByName; // row r of w_tab shows the r-th key
    ConfigSettings config;
    LayoutTask task;
    QTimer updateTimer;
    PreviewTask preview; // borrows task's reader while the task does not run
    SitePreviewPanel* previewPanel = nullptr;
    QTimer previewTimer; // shows the pass's progress
    QPointer<BatchLayout> batchList;

    QPointer<QWidget> focusBeforeProgress; // gets the focus back when the listing ends
    QStringList createdOutputFolders;      // made for the running job's output
    QString lastOutputFolder;              // where the save dialog opens next

    bool listing = false;          // a listing waits for the task
    bool reportsHeld = false;      // see holdReports
    bool listingAbandoned = false; // the window closed while it waited
};

} // namespace orthaven

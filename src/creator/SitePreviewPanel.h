#pragma once
// The preview beside the Layout Creator's clipping planes: the progress of the pass with a
// Stop button, the profile strip along the job's depth axis, the plan of the site, and the
// levels with buttons that set a storey's planes. It shows what the dock tells it (the
// preview, the job as the fields describe it) and reports what the user does with it.

#include "creator/ScanDamage.h"
#include "layout/LayoutJob.h"
#include "preview/SitePreview.h"

#include <QGroupBox>

#include <memory>
#include <vector>

class QLabel;
class QProgressBar;
class QTableWidget;
class QToolButton;

namespace orthaven {

class PlanView;
class ProfileStrip;

class SitePreviewPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit SitePreviewPanel(QWidget* parent = nullptr);

    // A pass runs: its progress, 0 … 100.
    void showProgress(int percent);
    // No pass runs: message says why there is no preview (empty: none to say).
    void showIdle(const QString& message = {});
    // The preview to show, with the chosen scans whose data was damaged or left out.
    void setPreview(std::shared_ptr<const SitePreview> preview,
                    const std::vector<DamagedScan>& damaged = {});
    const std::shared_ptr<const SitePreview>& preview() const { return shown; }
    // The job as the dock's fields describe it: its view and frame choose the profile, its
    // planes place the handles (a facade's as distances from its line), its tile grid and
    // planes are drawn on the plan.
    void setJob(const LayoutJob& job);

    ProfileStrip* strip() const { return profile; }
    PlanView* plan() const { return planView; }
    QTableWidget* levelTable() const { return levels; }

signals:
    // The handles were dragged, or a level's button pressed: the planes as the fields take
    // them.
    void planesChosen(double low, double high);
    void facadePicked(const FacadeLine& line);
    void stopClicked();

private:
    void fillLevels();

    QLabel* status = nullptr;
    QProgressBar* progressBar = nullptr;
    QToolButton* stopButton = nullptr;
    ProfileStrip* profile = nullptr;
    PlanView* planView = nullptr;
    QTableWidget* levels = nullptr;
    std::shared_ptr<const SitePreview> shown;
    LayoutJob job;
    // What the profile on show was made for.
    bool profileMade = false;
    std::uint32_t profileView = 0;
    LayoutFrame profileFrame;
    std::optional<FacadeLine> profileFacade;
};

} // namespace orthaven

#include "creator/SitePreviewPanel.h"

#include "creator/PlanView.h"
#include "creator/ProfileStrip.h"
#include "layout/NumberText.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace orthaven {

namespace {

enum Column
{
    HeightColumn,
    ShareColumn,
    StoreyColumn,
    PlanColumn,
    ColumnCount
};

} // namespace

SitePreviewPanel::SitePreviewPanel(QWidget* parent) : QGroupBox(parent)
{
    setObjectName(QStringLiteral("sitePreview"));
    setTitle(tr("Preview"));
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("sl_preview"));
    status->setWordWrap(true);
    status->setTextFormat(Qt::PlainText);
    progressBar = new QProgressBar(this);
    progressBar->setRange(0, 100);
    progressBar->setTextVisible(false);
    progressBar->setMaximumWidth(120);
    stopButton = new QToolButton(this);
    stopButton->setObjectName(QStringLiteral("b_stopPreview"));
    stopButton->setText(tr("Stop"));
    connect(stopButton, &QToolButton::clicked, this, &SitePreviewPanel::stopClicked);

    profile = new ProfileStrip(this);
    profile->setObjectName(QStringLiteral("w_profile"));
    profile->setToolTip(tr("Points per centimetre along the view's depth axis. Drag the two "
                           "clipping planes; near a level they snap to it."));
    connect(profile, &ProfileStrip::planesChanged, this, &SitePreviewPanel::planesChosen);
    planView = new PlanView(this);
    planView->setObjectName(QStringLiteral("w_plan"));
    planView->setToolTip(tr("The site from above with the layout's tiles and planes. Click two "
                            "points to make the wall between them a facade."));
    connect(planView, &PlanView::facadePicked, this, &SitePreviewPanel::facadePicked);

    levels = new QTableWidget(0, ColumnCount, this);
    levels->setObjectName(QStringLiteral("w_levels"));
    levels->setHorizontalHeaderLabels({tr("Level [m]"), tr("Points"), QString(), QString()});
    levels->verticalHeader()->hide();
    levels->setEditTriggers(QAbstractItemView::NoEditTriggers);
    levels->setSelectionMode(QAbstractItemView::NoSelection);
    levels->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    levels->setMaximumHeight(130);
    levels->horizontalHeader()->setSectionResizeMode(HeightColumn, QHeaderView::Stretch);
    planView->setMinimumHeight(220);

    auto* top = new QHBoxLayout;
    top->addWidget(status, 1);
    top->addWidget(progressBar);
    top->addWidget(stopButton);
    auto* pictures = new QHBoxLayout;
    pictures->addWidget(profile);
    pictures->addWidget(planView, 1);
    auto* column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addLayout(pictures, 1);
    column->addWidget(levels);
    showIdle();
}

void SitePreviewPanel::showProgress(int percent)
{
    status->setText(tr("Looking at the scans ..."));
    progressBar->setValue(std::clamp(percent, 0, 100));
    progressBar->setVisible(true);
    stopButton->setVisible(true);
}

void SitePreviewPanel::showIdle(const QString& message)
{
    progressBar->setVisible(false);
    stopButton->setVisible(false);
    if (!message.isEmpty() || !shown)
        status->setText(message.isEmpty() ? tr("Choose scans to see the site.") : message);
}

void SitePreviewPanel::setPreview(std::shared_ptr<const SitePreview> preview,
                                  const std::vector<DamagedScan>& damaged)
{
    shown = std::move(preview);
    profileMade = false;
    planView->setPreview(shown);
    QString text;
    if (shown)
        text = tr("Levels: %1, from %2 million points")
                   .arg(shown->levels.size())
                   .arg(formatUserFixed(double(shown->points) / 1e6, 1, locale()));
    if (!damaged.empty()) {
        text += QLatin1Char('\n') + tr("Not every checked scan is in it whole:");
        for (const QString& line : damagedScanLines(damaged, 3))
            text += QLatin1Char('\n') + line;
    }
    status->setText(text);
    showIdle();
    fillLevels();
    setJob(job);
}

void SitePreviewPanel::setJob(const LayoutJob& described)
{
    job = described;
    const bool top = job.view == Top && !job.facade;
    const LayoutFrame frame = layoutFrame(job);
    // A new profile only when the depth axis changed: dragging must not rebuild it.
    if (shown && (!profileMade || profileView != job.view ||
                  profileFrame.azimuth != frame.azimuth || profileFacade != job.facade)) {
        profile->setProfile(depthProfile(*shown, job),
                            top ? shown->levels : findLevels(depthProfile(*shown, job)));
        profileMade = true;
        profileView = job.view;
        profileFrame = frame;
        profileFacade = job.facade;
    }
    const double offset = job.facade ? job.facade->depth() : 0.0;
    profile->setPlanes(job.clipLow - offset, job.clipHigh - offset);
    planView->setJob(job);
    // A storey's planes are heights: the buttons serve the top view.
    for (int row = 0; row < levels->rowCount(); ++row) {
        for (int c : {StoreyColumn, PlanColumn}) {
            if (QWidget* button = levels->cellWidget(row, c))
                button->setEnabled(top);
        }
    }
}

void SitePreviewPanel::fillLevels()
{
    levels->setRowCount(0);
    if (!shown)
        return;
    // Top to bottom, as in a section of the building.
    std::vector<std::size_t> order(shown->levels.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return shown->levels[a].height > shown->levels[b].height;
    });
    const QLocale notation = locale();
    levels->setRowCount(int(order.size()));
    for (int row = 0; row < int(order.size()); ++row) {
        const std::size_t k = order[std::size_t(row)];
        const Level& level = shown->levels[k];
        const QString kind = level.facing == Facing::Up     ? tr("floor")
                             : level.facing == Facing::Down ? tr("ceiling")
                                                            : QString();
        QString height = formatUserFixed(level.height, 2, notation);
        if (!kind.isEmpty())
            height += QStringLiteral(" (%1)").arg(kind);
        levels->setItem(row, HeightColumn, new QTableWidgetItem(height));
        auto* share = new QTableWidgetItem(formatUserFixed(100.0 * level.share, 1, notation) +
                                           QStringLiteral(" %"));
        share->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        levels->setItem(row, ShareColumn, share);
        auto* storey = new QPushButton(tr("Storey"), levels);
        storey->setToolTip(tr("Planes from just above this level to just below the next "
                              "ceiling above it"));
        connect(storey, &QPushButton::clicked, this, [this, k] {
            const Slab slab = storeySlab(shown->levels, k);
            emit planesChosen(slab.low, slab.high);
        });
        levels->setCellWidget(row, StoreyColumn, storey);
        auto* plan = new QPushButton(tr("Plan"), levels);
        plan->setToolTip(tr("Planes from just above this level to the plan's cut 1 m above it"));
        connect(plan, &QPushButton::clicked, this, [this, k] {
            const Slab slab = planCut(shown->levels[k]);
            emit planesChosen(slab.low, slab.high);
        });
        levels->setCellWidget(row, PlanColumn, plan);
    }
}

} // namespace orthaven

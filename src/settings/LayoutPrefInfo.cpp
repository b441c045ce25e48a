#include "settings/LayoutPrefInfo.h"

#include "diag/Diagnostics.h"
#include "layout/LayoutLimits.h"
#include "layout/NumberText.h"
#include "platform/AppPaths.h"
#include "uikit/UserDialogs.h"

#include "ui_LayoutPrefForm.h"

#include <QDir>
#include <QFileInfo>

#include <optional>
#include <span>

namespace orthaven {

namespace {

struct Choice
{
    const char* text;
    double value;
};

// The offered values; an item's index in its combo box is its index here.
constexpr Choice resolutionChoices[] = {
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "2 mm"), 0.002},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "5 mm"), 0.005},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "10 mm"), 0.01},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "20 mm"), 0.02},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "50 mm"), 0.05},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "100 mm"), 0.1},
};

constexpr Choice domainChoices[] = {
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "5 m"), 5},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "10 m"), 10},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "15 m"), 15},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "20 m"), 20},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "25 m"), 25},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "30 m"), 30},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "40 m"), 40},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "50 m"), 50},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "100 m"), 100},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "200 m"), 200},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "400 m"), 400},
};

constexpr Choice tileSizeChoices[] = {
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "10 m"), 10},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "20 m"), 20},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "30 m"), 30},
    {QT_TRANSLATE_NOOP("LayoutPrefForm", "40 m"), 40},
};

// Each item carries its value; the item's text is what the user reads.
void fillCombo(QComboBox* combo, std::span<const Choice> choices)
{
    for (const Choice& choice : choices)
        combo->addItem(QCoreApplication::translate("LayoutPrefForm", choice.text), choice.value);
}

// Selects the item of value. A value the panel does not offer (a hand-edited file) is shown
// as one more item after the offered ones, in the unit of the others, so the panel shows
// what the file and the Layout Creator hold, and a save keeps it unless the user picks
// another; the save checks it like any other value.
void selectValue(QComboBox* combo, std::span<const Choice> choices, double value,
                 double unitsPerMetre, const char* unit)
{
    while (combo->count() > int(choices.size()))
        combo->removeItem(combo->count() - 1);
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (choices[i].value == value) {
            combo->setCurrentIndex(static_cast<int>(i));
            return;
        }
    }
    combo->addItem(formatUserReal(value * unitsPerMetre) + QLatin1Char(' ') +
                       QString::fromLatin1(unit),
                   value);
    combo->setCurrentIndex(combo->count() - 1);
}

void takeValue(const QComboBox* combo, double& field)
{
    const QVariant value = combo->currentData();
    if (value.isValid())
        field = value.toDouble();
}

// A component is a base-10 integer within 0..255, in the user's notation; blanks around
// it are forgiven.
std::optional<int> component(const QLineEdit* field)
{
    const std::optional<int> value = parseUserInteger(field->text());
    if (!value || *value < 0 || *value > 255)
        return std::nullopt;
    return value;
}

void showColor(const std::array<QLineEdit*, 4>& fields, const QColor& c)
{
    const int components[4] = {c.red(), c.green(), c.blue(), c.alpha()};
    for (std::size_t k = 0; k < 4; ++k)
        fields[k]->setText(QString::number(components[k]));
}

} // namespace

LayoutPrefInfo::LayoutPrefInfo(QWidget* parent)
    : QDockWidget(parent), ui(new Ui::LayoutPrefForm), record(defaultConfig())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("LayoutPrefInfo"));
    readConfig(configFilePath(), record); // a missing file leaves the defaults

    colorRows = {{
        {{ui->tb_Grid_R, ui->tb_Grid_G, ui->tb_Grid_B, ui->tb_Grid_A},
         ui->pb_ChooseGridColor,
         &ConfigSettings::gridColor},
        {{ui->tb_Text_R, ui->tb_Text_G, ui->tb_Text_B, ui->tb_Text_A},
         ui->pb_ChooseTextColor,
         &ConfigSettings::textColor},
        {{ui->tb_Scan1_R, ui->tb_Scan1_G, ui->tb_Scan1_B, ui->tb_Scan1_A},
         ui->pb_ChooseScan1Color,
         &ConfigSettings::scanPosColor1},
        {{ui->tb_Scan2_R, ui->tb_Scan2_G, ui->tb_Scan2_B, ui->tb_Scan2_A},
         ui->pb_ChooseScan2Color,
         &ConfigSettings::scanPosColor2},
    }};

    fillCombo(ui->cB_resolution, resolutionChoices);
    fillCombo(ui->cB_Domain, domainChoices);
    fillCombo(ui->cB_TileSize, tileSizeChoices);
    showSettings(record);

    connect(ui->pb_preSet, &QPushButton::pressed, this, &LayoutPrefInfo::onButton);
    connect(ui->pb_save, &QPushButton::pressed, this, &LayoutPrefInfo::onButton);
    for (const ColorRow& row : colorRows)
        connect(row.choose, &QPushButton::pressed, this, &LayoutPrefInfo::onButtonColor);
}

LayoutPrefInfo::~LayoutPrefInfo() = default;

ConfigSettings LayoutPrefInfo::standardValues()
{
    // One source for both: the values a first start writes.
    return defaultConfig();
}

void LayoutPrefInfo::showSettings(const ConfigSettings& values)
{
    selectValue(ui->cB_resolution, resolutionChoices, values.resolution, 1000.0, "mm");
    selectValue(ui->cB_Domain, domainChoices, values.scannerDomain, 1.0, "m");
    selectValue(ui->cB_TileSize, tileSizeChoices, values.tileSize, 1.0, "m");
    ui->cb_invert->setChecked(values.invertColor);
    ui->cb_grid->setChecked(values.grid);
    for (const ColorRow& row : colorRows) {
        showColor(row.fields, values.*row.color);
        // Values shown afresh are whole: a mark of the last refused save goes.
        for (QLineEdit* field : row.fields)
            markFaulty(field, false);
    }
}

void LayoutPrefInfo::onButton()
{
    // "Standard Values" only fills the fields; Save decides.
    if (sender() == ui->pb_preSet) {
        showSettings(standardValues());
        return;
    }
    save();
}

void LayoutPrefInfo::save()
{
    diag::debug("Save All");
    ConfigSettings edited = record;
    edited.grid = ui->cb_grid->isChecked();
    takeValue(ui->cB_resolution, edited.resolution);
    takeValue(ui->cB_Domain, edited.scannerDomain);
    takeValue(ui->cB_TileSize, edited.tileSize);
    edited.invertColor = ui->cb_invert->isChecked();

    // Every faulty value is named in one box, in the order of the form, and its fields
    // are marked; nothing is saved then, and the panel stays with what the user typed, the
    // first faulty field in focus.
    for (const ColorRow& row : colorRows) {
        for (QLineEdit* field : row.fields)
            markFaulty(field, false);
    }
    QStringList problems;
    QWidget* firstFaulty = nullptr;
    const GeometryProblem geometry =
        layoutGeometryProblem(edited.resolution, edited.scannerDomain, edited.tileSize);
    if (geometry.field != GeometryProblem::None) {
        // Only a value taken over from a hand-edited file can be one no layout takes.
        problems.append(configProblemMessage(geometry, configFilePath()));
        firstFaulty = geometry.field == GeometryProblem::Resolution   ? ui->cB_resolution
                      : geometry.field == GeometryProblem::ScanRadius ? ui->cB_Domain
                                                                      : ui->cB_TileSize;
    }
    QStringList channels;
    static const char* const channelNames[4] = {"R", "G", "B", "A"};
    for (std::size_t i = 0; i < colorRows.size(); ++i) {
        const ColorRow& row = colorRows[i];
        std::array<int, 4> value{};
        bool whole = true;
        for (std::size_t k = 0; k < 4; ++k) {
            const std::optional<int> c = component(row.fields[k]);
            value[k] = c.value_or(0);
            if (c)
                continue;
            whole = false;
            markFaulty(row.fields[k], true);
            if (!firstFaulty)
                firstFaulty = row.fields[k];
            channels.append(
                tr("%1 %2: \"%3\"")
                    .arg(rowName(int(i)), QLatin1String(channelNames[k]), row.fields[k]->text()));
        }
        if (whole)
            edited.*row.color = QColor(value[0], value[1], value[2], value[3]);
    }
    if (!channels.isEmpty())
        problems.append(tr("Colour values are whole numbers from 0 to 255; these are not:") +
                        QLatin1Char('\n') + channels.join(QLatin1Char('\n')));
    if (firstFaulty) {
        UserDialogs::show(this, UserDialogs::Icon::Warning, windowTitle(),
                          problems.join(QStringLiteral("\n\n")));
        firstFaulty->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(firstFaulty))
            edit->selectAll();
        return;
    }

    const QString path = configFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    // The Layout Creator's choices are its own: kept as the file holds them now.
    ConfigSettings current = defaultConfig();
    if (readConfig(path, current))
        edited.handOff = current.handOff;
    if (!saveConfig(edited, path)) {
        // Switching back to the Layout Creator would pretend the values were taken over;
        // the panel stays with the user's edits so they can try again.
        UserDialogs::message(
            this,
            tr("The preferences could not be saved to %1!").arg(QDir::toNativeSeparators(path)));
        return;
    }
    record = edited;
    emit preferencesChanged();
}

void LayoutPrefInfo::onButtonColor()
{
    const ColorRow* row = nullptr;
    for (const ColorRow& candidate : colorRows) {
        if (candidate.choose == sender())
            row = &candidate;
    }
    if (!row)
        return;
    // The chooser offers no alpha channel, so what it gives is opaque.
    const QColor chosen = UserDialogs::color(this, QString());
    if (!chosen.isValid())
        return; // cancelled: the row keeps what it holds
    showColor(row->fields, QColor(chosen.red(), chosen.green(), chosen.blue(), 255));
}

QString LayoutPrefInfo::rowName(int row) const
{
    switch (row) {
    case 0:
        return tr("Grid Color");
    case 1:
        return tr("Text Color");
    case 2:
        return tr("Used Scan Color");
    default:
        return tr("Unused Scan Color");
    }
}

void LayoutPrefInfo::markFaulty(QLineEdit* field, bool faulty)
{
    field->setProperty("faulty", faulty);
    field->setStyleSheet(faulty ? QStringLiteral("QLineEdit { background: #ffd6d6; }") : QString());
}

} // namespace orthaven

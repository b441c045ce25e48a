#pragma once
// The dock panel in which the user edits the configuration file: layout geometry, colour
// inversion and the overview-sheet settings. Saving writes the whole file at once, and
// only when every value can be used: a refused save names every faulty value in one box,
// marks its fields, keeps what was typed and leaves the file and the Layout Creator as they
// were. "Standard Values" fills in the values of a first start without saving them.

#include "settings/ConfigSettings.h"

#include <QDockWidget>

#include <array>
#include <memory>

class QLineEdit;
class QPushButton;

namespace Ui {
class LayoutPrefForm;
}

namespace orthaven {

class LayoutPrefInfo : public QDockWidget
{
    Q_OBJECT
public:
    // Reads the configuration file once; later saves keep the record current.
    explicit LayoutPrefInfo(QWidget* parent = nullptr);
    ~LayoutPrefInfo() override;

    // The record as last read or saved (a refused save leaves it alone).
    const ConfigSettings& settings() const { return record; }

    // What "Standard Values" puts into the widgets: the values of a first start.
    static ConfigSettings standardValues();

signals:
    void preferencesChanged();

public slots:
    void onButton();
    void onButtonColor();

private:
    struct ColorRow
    {
        std::array<QLineEdit*, 4> fields; // R, G, B, A
        QPushButton* choose;
        QColor ConfigSettings::*color;
    };

    void showSettings(const ConfigSettings& values);
    void save();
    QString rowName(int row) const; // "Grid Color", …
    // A faulty field shows it (and its "faulty" property says so) until the next save.
    static void markFaulty(QLineEdit* field, bool faulty);

    std::unique_ptr<Ui::LayoutPrefForm> ui;
    ConfigSettings record;
    std::array<ColorRow, 4> colorRows; // Grid, Text, Used Scan, Unused Scan
};

} // namespace orthaven

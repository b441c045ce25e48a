#include "app/Startup.h"
#include "platform/AppPaths.h"
#include "settings/ConfigSettings.h"
#include "settings/LayoutPrefInfo.h"
#include "support/CaptureDiagnostics.h"
#include "support/QtPrinters.h"
#include "support/TempAppData.h"
#include "uikit/UserDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

#include <memory>

using namespace orthaven;
using namespace orthaven::test;

namespace {

const char* const rowKeys[4] = {"Grid", "Text", "Scan1", "Scan2"};
const char* const chooseButtons[4] = {"pb_ChooseGridColor", "pb_ChooseTextColor",
                                      "pb_ChooseScan1Color", "pb_ChooseScan2Color"};

// A panel over a temporary configuration file, shown offscreen at its designed size.
class PrefsPanel : public ::testing::Test
{
protected:
    void SetUp() override { UserDialogs::clearScript(); }
    void TearDown() override
    {
        // Every box is modal to the panel, so the window comes back to the front after it.
        for (const ShownMessage& m : UserDialogs::shownMessages())
            EXPECT_EQ(m.parent, panel.get()) << m.text.toStdString();
        UserDialogs::clearScript();
    }

    void open(const std::optional<ConfigSettings>& file = defaultConfig())
    {
        if (file)
            writeFile(configFilePath(), configText(*file));
        panel = std::make_unique<LayoutPrefInfo>();
        panel->resize(705, 423);
        panel->show();
    }

    template <typename W> W* widget(const QString& name) const
    {
        W* found = panel->findChild<W*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    QComboBox* combo(const char* name) const
    {
        return widget<QComboBox>(QString::fromLatin1(name));
    }
    QCheckBox* check(const char* name) const
    {
        return widget<QCheckBox>(QString::fromLatin1(name));
    }
    QPushButton* button(const char* name) const
    {
        return widget<QPushButton>(QString::fromLatin1(name));
    }
    QLineEdit* field(int row, char component) const
    {
        return widget<QLineEdit>(QStringLiteral("tb_%1_%2").arg(rowKeys[row]).arg(component));
    }

    // The four fields of a row as "R G B A".
    QString rowText(int row) const
    {
        QStringList parts;
        for (char c : {'R', 'G', 'B', 'A'})
            parts.append(field(row, c)->text());
        return parts.join(QLatin1Char(' '));
    }
    void setRow(int row, const QStringList& values)
    {
        int i = 0;
        for (char c : {'R', 'G', 'B', 'A'})
            field(row, c)->setText(values[i++]);
    }

    ConfigSettings savedFile() const
    {
        ConfigSettings read = defaultConfig();
        EXPECT_TRUE(readConfig(configFilePath(), read));
        return read;
    }

    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }

    TempAppData appData;
    std::unique_ptr<LayoutPrefInfo> panel;
};

QStringList comboItems(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

} // namespace

TEST_F(PrefsPanel, ShowsTheDefaultFile)
{
    open();
    EXPECT_EQ(panel->objectName(), "LayoutPrefInfo");
    EXPECT_EQ(panel->windowTitle(), "Layout Preferences");
    EXPECT_EQ(combo("cB_resolution")->currentText(), "10 mm");
    EXPECT_EQ(combo("cB_Domain")->currentText(), "30 m");
    EXPECT_EQ(combo("cB_TileSize")->currentText(), "20 m");
    EXPECT_FALSE(check("cb_invert")->isChecked());
    EXPECT_TRUE(check("cb_grid")->isChecked());
    EXPECT_EQ(rowText(0), "192 192 192 128");
    EXPECT_EQ(rowText(1), "0 0 0 255");
    EXPECT_EQ(rowText(2), "0 255 0 64");
    EXPECT_EQ(rowText(3), "255 0 0 64");
}

TEST_F(PrefsPanel, OffersTheDesignedItemsAndTexts)
{
    open();
    EXPECT_EQ(comboItems(combo("cB_resolution")),
              (QStringList{"2 mm", "5 mm", "10 mm", "20 mm", "50 mm", "100 mm"}));
    EXPECT_EQ(comboItems(combo("cB_Domain")),
              (QStringList{"5 m", "10 m", "15 m", "20 m", "25 m", "30 m", "40 m", "50 m", "100 m",
                           "200 m", "400 m"}));
    EXPECT_EQ(comboItems(combo("cB_TileSize")), (QStringList{"10 m", "20 m", "30 m", "40 m"}));
    EXPECT_EQ(widget<QGroupBox>("groupBox_2")->title(), "Layout Geometry Settings");
    EXPECT_EQ(widget<QGroupBox>("groupBox")->title(), "Layout Color Settings");
    EXPECT_EQ(widget<QGroupBox>("groupBox_3")->title(), "Overview Settings");
    EXPECT_EQ(check("cb_invert")->text(), "Invert Color");
    EXPECT_EQ(check("cb_grid")->text(), "Grid on/off");
    EXPECT_EQ(button("pb_preSet")->text(), "Standard Values");
    EXPECT_EQ(button("pb_save")->text(), "Save");
    EXPECT_TRUE(button("pb_save")->font().bold());
    for (const char* name : chooseButtons)
        EXPECT_EQ(button(name)->text(), "Choose") << name;

    QStringList labels;
    for (const QLabel* label : panel->findChildren<QLabel*>())
        labels.append(label->text());
    for (const char* text :
         {"Image Resolution:", "Scan Radius:", "Image Size:", "Grid Color", "Text Color",
          "Used Scan Color", "Unused Scan Color", "R", "G", "B", "A"})
        EXPECT_TRUE(labels.contains(QString::fromLatin1(text))) << text;
}

TEST_F(PrefsPanel, FitsItsDesignedSizeWithTheLogoBesideTheGroupsInEveryLanguage)
{
    for (const bool german : {false, true}) {
        SCOPED_TRACE(german ? "German" : "English");
        QTranslator translator;
        if (german) {
            ASSERT_TRUE(loadTranslation(translator, QStringLiteral("orthaven_de")));
            QCoreApplication::installTranslator(&translator);
        }
        open();
        QCoreApplication::removeTranslator(&translator);
        EXPECT_EQ(button("pb_save")->text(), german ? "Speichern" : "Save");
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));

        const QWidget* contents = widget<QWidget>("dockWidgetContents");
        const QSize minimum = contents->minimumSizeHint();
        EXPECT_LE(minimum.width(), contents->width());
        EXPECT_LE(minimum.height(), contents->height());

        // Every text is shown whole: no control is squeezed below what its text needs.
        for (QWidget* w : contents->findChildren<QWidget*>()) {
            if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w) &&
                !qobject_cast<QComboBox*>(w))
                continue;
            const std::string name = w->objectName().toStdString();
            EXPECT_GE(w->width(), w->minimumSizeHint().width()) << name;
            EXPECT_GE(w->height(), w->minimumSizeHint().height()) << name;
            const QRect inContents(w->mapTo(contents, QPoint(0, 0)), w->size());
            EXPECT_TRUE(contents->rect().contains(inContents)) << name;
        }

        const QLabel* logo = nullptr;
        for (const QLabel* label : contents->findChildren<QLabel*>()) {
            if (!label->pixmap().isNull())
                logo = label;
        }
        ASSERT_NE(logo, nullptr);
        EXPECT_EQ(logo->pixmap().size(), QSize(256, 256));
        const QWidget* groups = widget<QGroupBox>("groupBox_3");
        EXPECT_GE(logo->mapTo(contents, QPoint(0, 0)).x(),
                  groups->mapTo(contents, QPoint(groups->width(), 0)).x());
    }
}

TEST_F(PrefsPanel, ShowsAValueItDoesNotOfferAsItIsAndKeepsIt)
{
    struct Case
    {
        double resolution, domain, tileSize;
        const char *shownResolution, *shownDomain, *shownTileSize;
    };
    const Case cases[] = {
        {0.002, 5, 10, "2 mm", "5 m", "10 m"},
        {0.1, 400, 40, "100 mm", "400 m", "40 m"},
        // a hand-edited file: shown as it is, as the Layout Creator shows it too
        {0.003, 35, 30, "3 mm", "35 m", "30 m"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.resolution);
        ConfigSettings file = defaultConfig();
        file.resolution = c.resolution;
        file.scannerDomain = c.domain;
        file.tileSize = c.tileSize;
        open(file);
        EXPECT_EQ(combo("cB_resolution")->currentText(), c.shownResolution);
        EXPECT_EQ(combo("cB_Domain")->currentText(), c.shownDomain);
        EXPECT_EQ(combo("cB_TileSize")->currentText(), c.shownTileSize);

        click("pb_save");
        EXPECT_TRUE(UserDialogs::shownTexts().isEmpty());
        const ConfigSettings saved = savedFile();
        EXPECT_EQ(saved.resolution, c.resolution);
        EXPECT_EQ(saved.scannerDomain, c.domain);
        EXPECT_EQ(saved.tileSize, c.tileSize);
    }
    // The offered items alone again once an offered value is chosen.
    click("pb_preSet");
    EXPECT_EQ(combo("cB_resolution")->count(), 6);
    EXPECT_EQ(combo("cB_Domain")->count(), 11);
}

TEST_F(PrefsPanel, RefusesGeometryThatCannotMakeALayoutBeforeSaving)
{
    struct Case
    {
        double resolution, domain, tileSize;
        const char* field;   // the combo box that gets the focus
        const char* message; // how the message starts: the field's name
        int line;            // of the file, named at the message's end
    };
    const Case cases[] = {
        {0.0001, 30, 20, "cB_resolution",
         "Image Resolution: Tile images of 200000 pixels a side exceed the limit of 20000!", 5},
        {0.0, 30, 20, "cB_resolution",
         "Image Resolution: 0 mm cannot make a layout; it must be above 0 and at most 10000 mm!",
         5},
        {0.01, 0.0, 20, "cB_Domain", "Scan Radius: 0 m cannot make a layout; it must be above 0 m!",
         7},
        {0.01, 30, 25, "cB_TileSize", "Image Size: tiles are cut in whole multiples of 10 m", 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        UserDialogs::clearScript();
        ConfigSettings file = defaultConfig();
        file.resolution = c.resolution;
        file.scannerDomain = c.domain;
        file.tileSize = c.tileSize;
        open(file);
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
        const QByteArray before = readFile(configFilePath());
        QSignalSpy changed(panel.get(), &LayoutPrefInfo::preferencesChanged);
        setRow(0, {"1", "2", "3", "4"});
        click("pb_save");

        ASSERT_EQ(UserDialogs::shownTexts().size(), 1);
        const QString shown = UserDialogs::shownTexts().first();
        EXPECT_TRUE(shown.startsWith(c.message)) << shown.toStdString();
        EXPECT_TRUE(shown.contains(QString("\n\nLine %1 of %2: ")
                                       .arg(c.line)
                                       .arg(QDir::toNativeSeparators(configFilePath()))))
            << shown.toStdString();
        EXPECT_EQ(readFile(configFilePath()), before);
        EXPECT_EQ(changed.count(), 0);
        EXPECT_EQ(panel->settings(), savedFile());
        EXPECT_TRUE(combo(c.field)->hasFocus());
        EXPECT_EQ(rowText(0), "1 2 3 4") << "what was typed stays";

        // An offered value is taken.
        UserDialogs::clearScript();
        combo(c.field)->setCurrentIndex(2);
        click("pb_save");
        EXPECT_TRUE(UserDialogs::shownTexts().isEmpty());
        EXPECT_EQ(changed.count(), 1);
        EXPECT_EQ(savedFile().gridColor, QColor(1, 2, 3, 4));
    }
}

TEST_F(PrefsPanel, StandardValuesFillInTheFirstStartsValuesAndOnlySaveWrites)
{
    ConfigSettings file = defaultConfig();
    file.invertColor = true;
    file.grid = false;
    file.resolution = 0.05;
    file.scannerDomain = 50;
    file.gridColor = QColor(1, 2, 3, 4);
    open(file);
    const QByteArray before = readFile(configFilePath());
    QSignalSpy changed(panel.get(), &LayoutPrefInfo::preferencesChanged);
    click("pb_preSet");

    // The fields show what a first start writes; the file and the Layout Creator wait.
    EXPECT_EQ(combo("cB_resolution")->currentText(), "10 mm");
    EXPECT_EQ(combo("cB_Domain")->currentText(), "30 m");
    EXPECT_FALSE(check("cb_invert")->isChecked());
    EXPECT_TRUE(check("cb_grid")->isChecked());
    EXPECT_EQ(rowText(0), "192 192 192 128");
    EXPECT_EQ(rowText(3), "255 0 0 64");
    EXPECT_EQ(readFile(configFilePath()), before);
    EXPECT_EQ(changed.count(), 0);

    click("pb_save");
    EXPECT_EQ(readFile(configFilePath()), configText(defaultConfig()));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(UserDialogs::shownTexts().isEmpty());
}

TEST_F(PrefsPanel, SaveWritesEveryEditedValue)
{
    ConfigSettings file = defaultConfig();
    file.intensityMethod = 3;
    open(file);
    QSignalSpy changed(panel.get(), &LayoutPrefInfo::preferencesChanged);
    combo("cB_resolution")->setCurrentIndex(1);
    combo("cB_Domain")->setCurrentIndex(10);
    combo("cB_TileSize")->setCurrentIndex(3);
    check("cb_invert")->setChecked(true);
    check("cb_grid")->setChecked(false);
    setRow(0, {"1", "2", "3", "4"});
    setRow(1, {"255", "0", " 7 ", "+9"}); // blanks around a number are forgiven
    setRow(2, {"10", "20", "30", "40"});
    setRow(3, {"0", "0", "0", "0"});
    // What the Layout Creator chose meanwhile stays in the file.
    ConfigSettings creatorChoices = savedFile();
    creatorChoices.handOff = {false, "A2-portrait", "EPSG:2056"};
    ASSERT_TRUE(saveConfig(creatorChoices, configFilePath()));
    click("pb_save");

    const ConfigSettings saved = savedFile();
    EXPECT_EQ(saved.resolution, 0.005);
    EXPECT_EQ(saved.scannerDomain, 400);
    EXPECT_EQ(saved.tileSize, 40);
    EXPECT_TRUE(saved.invertColor);
    EXPECT_FALSE(saved.grid);
    EXPECT_EQ(saved.gridColor, QColor(1, 2, 3, 4));
    EXPECT_EQ(saved.textColor, QColor(255, 0, 7, 9));
    EXPECT_EQ(saved.scanPosColor1, QColor(10, 20, 30, 40));
    EXPECT_EQ(saved.scanPosColor2, QColor(0, 0, 0, 0));
    EXPECT_EQ(saved.intensityMethod, 0) << "the writer never keeps it";
    EXPECT_EQ(saved.handOff, creatorChoices.handOff);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(UserDialogs::shownTexts().isEmpty());
}

TEST_F(PrefsPanel, AColourOutOfRangeRefusesTheSaveAndKeepsWhatWasTyped)
{
    for (const char* bad : {"256", "-1", "x", "", "12.5", "0x10"}) {
        SCOPED_TRACE(bad);
        UserDialogs::clearScript();
        open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
        QSignalSpy changed(panel.get(), &LayoutPrefInfo::preferencesChanged);
        combo("cB_TileSize")->setCurrentIndex(3);
        setRow(0, {"9", "8", "7", "6"});
        setRow(1, {"50", "60", "70", "80"});
        field(1, 'A')->setText(QString::fromLatin1(bad));
        click("pb_save");

        EXPECT_EQ(UserDialogs::shownTexts(),
                  QStringList{"Colour values are whole numbers from 0 to 255; these are "
                              "not:\nText Color A: \"" +
                              QString::fromLatin1(bad) + "\""});
        ASSERT_EQ(UserDialogs::shownMessages().size(), 1);
        EXPECT_EQ(UserDialogs::shownMessages().first().icon, UserDialogs::Icon::Warning);
        EXPECT_EQ(savedFile(), defaultConfig()) << "nothing is saved";
        EXPECT_EQ(changed.count(), 0) << "the Layout Creator is not brought back";
        EXPECT_EQ(rowText(1), "50 60 70 " + QString::fromLatin1(bad));
        EXPECT_EQ(rowText(0), "9 8 7 6");
        EXPECT_EQ(combo("cB_TileSize")->currentText(), "40 m");
        EXPECT_TRUE(field(1, 'A')->hasFocus());
    }
}

TEST_F(PrefsPanel, OneBoxNamesEveryBadChannelAndMarksItsField)
{
    open();
    field(3, 'R')->setText("300");
    field(0, 'G')->setText("-5");
    field(2, 'B')->setText("abc");
    field(1, 'R')->setText("1e2");
    field(1, 'A')->setText("");
    click("pb_save");
    EXPECT_EQ(UserDialogs::shownTexts(),
              QStringList{"Colour values are whole numbers from 0 to 255; these are not:\n"
                          "Grid Color G: \"-5\"\nText Color R: \"1e2\"\nText Color A: \"\"\n"
                          "Used Scan Color B: \"abc\"\nUnused Scan Color R: \"300\""});
    EXPECT_EQ(savedFile(), defaultConfig());
    const auto marked = [this] {
        QStringList fields;
        for (QLineEdit* edit : panel->findChildren<QLineEdit*>()) {
            if (edit->property("faulty").toBool())
                fields.append(edit->objectName());
        }
        fields.sort();
        return fields;
    };
    EXPECT_EQ(marked(),
              (QStringList{"tb_Grid_G", "tb_Scan1_B", "tb_Scan2_R", "tb_Text_A", "tb_Text_R"}));
    click("pb_preSet");
    EXPECT_TRUE(marked().isEmpty()) << "Standard Values shows whole values";

    // Once every field is corrected, the save goes through and the marks go.
    UserDialogs::clearScript();
    field(3, 'R')->setText("30");
    field(0, 'G')->setText("5");
    field(2, 'B')->setText("33");
    field(1, 'R')->setText("100");
    field(1, 'A')->setText("255");
    click("pb_save");
    EXPECT_TRUE(UserDialogs::shownTexts().isEmpty());
    EXPECT_TRUE(marked().isEmpty());
    EXPECT_EQ(savedFile().scanPosColor1, QColor(0, 255, 33, 64));
    EXPECT_EQ(savedFile().scanPosColor2, QColor(30, 0, 0, 64));
}

TEST_F(PrefsPanel, ChooseFillsOnlyItsOwnRowOpaque)
{
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        open();
        const QByteArray fileBefore = readFile(configFilePath());
        QStringList before;
        for (int r = 0; r < 4; ++r)
            before.append(rowText(r));

        UserDialogs::setNextColor(QColor(11, 22, 33, 44));
        click(chooseButtons[row]);
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(rowText(r), r == row ? QString("11 22 33 255") : before[r]) << r;
        EXPECT_EQ(readFile(configFilePath()), fileBefore) << "only the next save writes";
    }
}

TEST_F(PrefsPanel, CancelledChooserChangesNothing)
{
    open();
    field(2, 'R')->setText("17");        // an unsaved edit survives as well
    UserDialogs::setNextColor(QColor()); // cancelled
    click("pb_ChooseScan1Color");
    EXPECT_EQ(rowText(2), "17 255 0 64");
    EXPECT_EQ(rowText(0), "192 192 192 128");
    EXPECT_EQ(rowText(1), "0 0 0 255");
    EXPECT_EQ(rowText(3), "255 0 0 64");
}

TEST_F(PrefsPanel, UnwritableFileIsReportedAndThePanelStays)
{
    open();
    QFile::remove(configFilePath());
    ASSERT_TRUE(QDir().mkpath(configFilePath())); // a folder where the file belongs
    QSignalSpy changed(panel.get(), &LayoutPrefInfo::preferencesChanged);
    combo("cB_TileSize")->setCurrentIndex(3);
    click("pb_save");
    ASSERT_EQ(UserDialogs::shownTexts().size(), 1);
    EXPECT_TRUE(
        UserDialogs::shownTexts().first().startsWith("The preferences could not be saved to "));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(combo("cB_TileSize")->currentText(), "40 m") << "the edit is still there";

    // With the obstacle gone the same panel saves.
    UserDialogs::clearScript();
    QDir().rmdir(configFilePath());
    click("pb_save");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(savedFile().tileSize, 40);
}

TEST_F(PrefsPanel, WithoutAFileShowsTheDefaultsAndSaveCreatesIt)
{
    open(std::nullopt);
    EXPECT_EQ(combo("cB_Domain")->currentText(), "30 m");
    EXPECT_EQ(rowText(0), "192 192 192 128");
    ASSERT_FALSE(QFileInfo::exists(productFolder())) << "showing the panel writes nothing";
    click("pb_save");
    EXPECT_TRUE(UserDialogs::shownTexts().isEmpty());
    EXPECT_EQ(readFile(configFilePath()), configText(defaultConfig()));
}

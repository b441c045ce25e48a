#include "creator/BatchLayout.h"
#include "support/QtPrinters.h"
#include "uikit/UserDialogs.h"

#include <QLineEdit>
#include <QTableWidget>

#include <gtest/gtest.h>

using namespace orthaven;

namespace {

layoutdef job(const QString& output, std::uint32_t view = Top, double low = 0, double high = 1,
              const QStringList& inputs = {"C:\\scans\\a.ptx"}, const QString& type = "png")
{
    layoutdef def;
    def.inputFiles = inputs;
    def.view = view;
    def.scanList = QBitArray(2, true);
    def.clipLow = low;
    def.clipHigh = high;
    def.outputFile = output;
    def.imageType = type;
    return def;
}

class Batch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UserDialogs::clearScript();
        table = batch.findChild<QTableWidget*>("jobTable");
        ASSERT_NE(table, nullptr);
    }
    void TearDown() override { UserDialogs::clearScript(); }

    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells.append(table->item(r, c) ? table->item(r, c)->text() : QStringLiteral("<none>"));
        return cells;
    }

    BatchLayout batch;
    QTableWidget* table = nullptr;
};

} // namespace

TEST_F(Batch, RefusesAnOutputFileAlreadyListedWhateverItsCase)
{
    ASSERT_TRUE(batch.addBatchJob(job("C:\\Work\\Layout.log")));
    EXPECT_FALSE(batch.addBatchJob(job("c:\\work\\LAYOUT.LOG", Front)));
    EXPECT_EQ(UserDialogs::shownTexts(), QStringList{"Layout output file already in batch list!"});
    EXPECT_EQ(batch.batchJobs().size(), 1);
    EXPECT_EQ(batch.batchJobTexts().size(), 1);
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_EQ(batch.batchJobs().first().view, std::uint32_t(Top)) << "the first job is untouched";

    UserDialogs::clearScript();
    EXPECT_TRUE(batch.addBatchJob(job("C:\\Work\\Layout2.log")));
    EXPECT_TRUE(UserDialogs::shownTexts().isEmpty());
    EXPECT_EQ(table->rowCount(), 2);
}

TEST_F(Batch, FillsTheCellsOfEachJob)
{
    struct Case
    {
        layoutdef def;
        QStringList cells;
    };
    Case cases[] = {
        {job("C:\\out\\top.log", Top, -1.5, 3),
         {"C:\\out\\top.log", "Top", "-1.5/3", "png", "C:\\scans\\a.ptx", "0°", "Density",
          "Waiting"}},
        {job("C:\\out\\left.log", Left, 0.125, 1e7, {"a.ptg", "b.ptg", "c.ptg"}, "jpg"),
         {"C:\\out\\left.log", "Left", "0.125/1e+07", "jpg", "Multiple Input Files", "0°",
          "Intensity", "Waiting"}},
        {job("C:\\out\\back.log", Back, -0.1234567, 2.5, {"a.fws", "b.fws"}, "tif"),
         {"C:\\out\\back.log", "Back", "-0.123457/2.5", "tif", "Multiple Input Files", "0°",
          "Colour", "Waiting"}},
        {job("C:\\out\\right.log", Right, -20, -10),
         {"C:\\out\\right.log", "Right", "-20/-10", "png", "C:\\scans\\a.ptx", "-27.5°",
          "Density", "Waiting"}},
        {job("C:\\out\\front.log", Front, 0, 0, {"D:\\p\\x.rsp"}),
         {"C:\\out\\front.log", "Front", "0/0", "png", "D:\\p\\x.rsp", "0°", "Density",
          "Waiting"}},
    };
    cases[1].def.layer = LayoutLayer::Intensity;
    cases[2].def.layer = LayoutLayer::Colour;
    cases[3].def.azimuth = -27.5;
    for (const Case& c : cases)
        ASSERT_TRUE(batch.addBatchJob(c.def));
    ASSERT_EQ(table->rowCount(), 5);
    EXPECT_EQ(table->columnCount(), 8);
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(row(r), cases[r].cells) << r;
    EXPECT_EQ(batch.batchJobTexts(), QStringList(5, "Waiting"));
}

TEST_F(Batch, CellsCanBeSelectedButNotEdited)
{
    ASSERT_TRUE(batch.addBatchJob(job("C:\\out\\a.log")));
    for (int c = 0; c < 5; ++c) {
        const Qt::ItemFlags flags = table->item(0, c)->flags();
        EXPECT_TRUE(flags.testFlag(Qt::ItemIsSelectable)) << c;
        EXPECT_FALSE(flags.testFlag(Qt::ItemIsEditable)) << c;
    }
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);

    batch.resize(705, 300);
    batch.show();
    table->setCurrentCell(0, 2);
    table->editItem(table->item(0, 2));
    EXPECT_EQ(table->findChild<QLineEdit*>(), nullptr) << "no editor opens";
    table->selectRow(0);
    EXPECT_TRUE(table->item(0, 0)->isSelected());
}

TEST_F(Batch, UnknownViewCodeIsShownAsItsNumber)
{
    ASSERT_TRUE(batch.addBatchJob(job("C:\\out\\a.log", 7)));
    EXPECT_EQ(table->item(0, 1)->text(), "7");
}

TEST_F(Batch, IsIdleAndTakesJobsThroughItsSlotSignature)
{
    EXPECT_FALSE(batch.isProcessing());
    bool added = false;
    ASSERT_TRUE(QMetaObject::invokeMethod(&batch, "addBatchJob", Qt::DirectConnection,
                                          Q_RETURN_ARG(bool, added),
                                          Q_ARG(orthaven::layoutdef, job("C:\\out\\s.log"))));
    EXPECT_TRUE(added);
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_FALSE(batch.isProcessing());
}

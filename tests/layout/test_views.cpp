// The view table is what every part of the program switches on: its rows must agree with
// their own matrices, or a label, a mirror or a log name goes wrong somewhere.

#include "layout/ImageFormats.h"
#include "layout/Views.h"

#include <QSet>

#include <gtest/gtest.h>

#include <cstring>

using namespace orthaven;

TEST(ViewTable, LabelsMirrorsAndNamesAgreeWithTheMatrices)
{
    const char* const axes[] = {"X", "Y", "Z"};
    QSet<QString> logNames;
    for (const ViewInfo& info : views()) {
        SCOPED_TRACE(info.name);
        EXPECT_EQ(viewInfo(info.view), &info);
        const cv::Mat M = viewMatrixFor(info.view);
        // Orthonormal: the planes' depth and the tiles' sizes are metres.
        EXPECT_EQ(cv::norm(M * M.t(), cv::Mat::eye(4, 4, CV_64F)), 0.0);
        // The labels name the world axes that u and v are made of; u runs against its
        // axis where negatedAxis says so.
        for (int row = 0; row < 2; ++row) {
            int axis = -1;
            for (int c = 0; c < 3; ++c)
                if (M.at<double>(row, c) != 0.0)
                    axis = c;
            ASSERT_GE(axis, 0);
            EXPECT_STREQ(row == 0 ? info.horizontalAxis : info.verticalAxis, axes[axis]);
            if (row == 0)
                EXPECT_EQ(M.at<double>(0, axis) < 0.0, info.negatedAxis);
            else
                EXPECT_GT(M.at<double>(1, axis), 0.0) << "v runs upward";
        }
        const QByteArray upper = QByteArray(info.optionName).toUpper();
        EXPECT_EQ(viewByOptionName(upper.constData(), std::size_t(upper.size())), &info);
        EXPECT_TRUE(defaultLogName(info.view).endsWith(".log"));
        logNames.insert(defaultLogName(info.view));
    }
    EXPECT_EQ(logNames.size(), 5) << "each view offers its own log name";
    EXPECT_EQ(defaultLogName(Top), "Layout.log");
    EXPECT_EQ(viewInfo(5), nullptr);
    EXPECT_EQ(viewByOptionName("to", 2), nullptr);

    // Back and Right are Front and Left seen from the other side: the same matrix, the
    // images mirrored, so the world axis runs the other way across the picture.
    for (const auto& [side, other] : {std::pair{Back, Front}, std::pair{Right, Left}}) {
        EXPECT_EQ(cv::norm(viewMatrixFor(side), viewMatrixFor(other)), 0.0);
        EXPECT_TRUE(viewInfo(side)->mirrored);
        EXPECT_FALSE(viewInfo(other)->mirrored);
        EXPECT_NE(axisRunsLeftward(*viewInfo(side)), axisRunsLeftward(*viewInfo(other)));
    }
}

TEST(ImageFormatTable, SuffixesAreFoundWithoutRegardToCase)
{
    EXPECT_EQ(imageFormatSuffixes(), QStringList({"png", "jpg", "tif"}));
    for (const ImageFormat& format : imageFormats())
        EXPECT_EQ(imageFormatFor(QString::fromLatin1(format.suffix).toUpper()), &format);
    EXPECT_EQ(imageFormatFor("jpeg"), nullptr);
    EXPECT_EQ(imageFormatFor("tif")->compression, 1) << "TIFF tiles keep LZW compression";
}

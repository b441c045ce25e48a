// The buffered line reader at every buffer size from tiny to ample, so that lines, line
// ends and offsets fall on every possible buffer boundary.

#include "scan/TextLineReader.h"
#include "support/TempAppData.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace orthaven;
using orthaven::test::writeFile;

namespace {

struct Readout
{
    std::vector<std::string> lines; // "<overlong>" for a line too long for the buffer
    std::vector<qint64> offsets;    // offset before each line
};

Readout readAll(TextLineReader& in)
{
    Readout out;
    std::string_view line;
    for (;;) {
        const qint64 offset = in.offset();
        const TextLineReader::LineStatus status = in.nextLine(line);
        if (status == TextLineReader::LineStatus::End)
            break;
        out.offsets.push_back(offset);
        out.lines.push_back(status == TextLineReader::LineStatus::Line ? std::string(line)
                                                                       : "<overlong>");
    }
    return out;
}

const std::size_t bufferSizes[] = {16, 17, 23, 64, 4096};

} // namespace

TEST(TextLineReader, SplitsLinesOnEveryBufferBoundary)
{
    QTemporaryDir dir;
    const QByteArray text = "first line\r\n\nthird, a little longer line\n  x\t\nlast";
    const QString path = writeFile(dir.filePath(QStringLiteral("t.txt")), text);
    const std::vector<std::string> expected = {"first line\r", "", "third, a little longer line",
                                               "  x\t", "last"};
    const std::vector<qint64> offsets = {0, 12, 13, 41, 46};
    for (std::size_t size : bufferSizes) {
        SCOPED_TRACE(size);
        TextLineReader in(size);
        ASSERT_TRUE(in.open(path));
        const Readout out = readAll(in);
        if (size < 28) {
            // The third line does not fit a buffer this small.
            std::vector<std::string> shortened = expected;
            shortened[2] = "<overlong>";
            EXPECT_EQ(out.lines, shortened);
        } else {
            EXPECT_EQ(out.lines, expected);
        }
        EXPECT_EQ(out.offsets, offsets);
        EXPECT_EQ(in.offset(), text.size());
        EXPECT_TRUE(in.atEnd());
    }
}

TEST(TextLineReader, SkipsLinesAndCountsALastLineWithoutNewline)
{
    QTemporaryDir dir;
    QByteArray text;
    for (int k = 0; k < 100; ++k)
        text += "line " + QByteArray::number(k) + '\n';
    text += "unterminated";
    const QString path = writeFile(dir.filePath(QStringLiteral("s.txt")), text);
    for (std::size_t size : bufferSizes) {
        SCOPED_TRACE(size);
        TextLineReader in(size);
        ASSERT_TRUE(in.open(path));
        EXPECT_EQ(in.skipLines(0), 0);
        EXPECT_EQ(in.skipLines(10), 10);
        std::string_view line;
        ASSERT_EQ(in.nextLine(line), TextLineReader::LineStatus::Line);
        EXPECT_EQ(line, "line 10");
        EXPECT_EQ(in.skipLines(1000), 90) << "89 full lines and the unterminated one";
        EXPECT_EQ(in.nextLine(line), TextLineReader::LineStatus::End);
        EXPECT_EQ(in.skipLines(5), 0);
    }
}

TEST(TextLineReader, SeeksToAnyOffsetAndSkipsWhitespace)
{
    QTemporaryDir dir;
    const QByteArray text = "alpha\n\n \r\n\t beta\ngamma\n \n";
    const QString path = writeFile(dir.filePath(QStringLiteral("w.txt")), text);
    for (std::size_t size : bufferSizes) {
        SCOPED_TRACE(size);
        TextLineReader in(size);
        ASSERT_TRUE(in.open(path));
        ASSERT_TRUE(in.seek(5));
        EXPECT_TRUE(in.skipWhitespace());
        EXPECT_EQ(in.offset(), text.indexOf("beta"));
        std::string_view line;
        ASSERT_EQ(in.nextLine(line), TextLineReader::LineStatus::Line);
        EXPECT_EQ(line, "beta");
        ASSERT_EQ(in.nextLine(line), TextLineReader::LineStatus::Line);
        EXPECT_EQ(line, "gamma");
        EXPECT_FALSE(in.skipWhitespace()) << "only blanks are left";
        // Back to the start, within or outside the buffer.
        ASSERT_TRUE(in.seek(0));
        ASSERT_EQ(in.nextLine(line), TextLineReader::LineStatus::Line);
        EXPECT_EQ(line, "alpha");
        ASSERT_TRUE(in.seek(text.indexOf("gamma")));
        ASSERT_EQ(in.nextLine(line), TextLineReader::LineStatus::Line);
        EXPECT_EQ(line, "gamma");
        EXPECT_FALSE(in.seek(-1));
    }
}

TEST(TextLineReader, AClosedOrMissingFileReadsAsEmpty)
{
    QTemporaryDir dir;
    TextLineReader in;
    EXPECT_FALSE(in.open(dir.filePath(QStringLiteral("none.txt"))));
    std::string_view line;
    EXPECT_EQ(in.nextLine(line), TextLineReader::LineStatus::End);
    EXPECT_EQ(in.skipLines(3), 0);
    EXPECT_FALSE(in.skipWhitespace());
    EXPECT_TRUE(in.atEnd());
    EXPECT_FALSE(in.seek(0));
}

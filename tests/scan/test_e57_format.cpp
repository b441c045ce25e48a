// The pieces of the E57 reader on their own: the page checksum, the bitpack codec, the
// paged file with its offset mapping and checked pages, and the XML section.

#include "E57TestFiles.h"
#include "scan/e57/Bitpack.h"
#include "scan/e57/Crc32c.h"
#include "scan/e57/PagedFile.h"
#include "scan/e57/XmlSection.h"
#include "support/TempAppData.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace orthaven;
using namespace orthaven::e57;
using namespace orthaven::test;

TEST(E57Format, PageChecksumIsCrc32c)
{
    EXPECT_EQ(crc32c("123456789", 9), 0xE3069283u) << "the check value of CRC-32C";
    EXPECT_EQ(pageChecksum("123456789", 9), 0xE3069283u);
    // The processor's instruction and the table agree on every length and alignment.
    std::mt19937 random(7);
    std::vector<unsigned char> data(1100);
    for (unsigned char& b : data)
        b = static_cast<unsigned char>(random());
    for (std::size_t start : {0, 1, 3}) {
        for (std::size_t length = 0; length + start <= data.size(); length += 37)
            ASSERT_EQ(pageChecksum(data.data() + start, length),
                      crc32c(data.data() + start, length))
                << length;
    }
}

TEST(E57Format, BitpackTakesValuesFromTheLowBitsUp)
{
    // 1 … 5 in 3 bits each: 001 010 011 100 101 from bit 0 of the first byte on.
    std::string packed;
    BitPacker packer;
    for (std::uint64_t v = 1; v <= 5; ++v)
        packer.put(packed, v, 3);
    packer.flush(packed);
    ASSERT_EQ(packed, std::string("\xD1\x58", 2));
    std::vector<unsigned char> bytes(2 + unpackSlack, 0);
    std::copy(packed.begin(), packed.end(), bytes.begin());
    std::uint64_t values[5];
    unpackBits(bytes.data(), 0, 3, 5, values);
    EXPECT_EQ(std::vector<std::uint64_t>(values, values + 5),
              (std::vector<std::uint64_t>{1, 2, 3, 4, 5}));
}

TEST(E57Format, BitpackReadsEveryWidthAtEveryBitOffset)
{
    std::mt19937_64 random(11);
    for (int width = 0; width <= 64; ++width) {
        for (unsigned offset = 0; offset < 8; ++offset) {
            SCOPED_TRACE("width " + std::to_string(width) + ", offset " + std::to_string(offset));
            const std::uint64_t mask =
                width == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << width) - 1;
            std::vector<std::uint64_t> values(37);
            for (std::uint64_t& v : values)
                v = random() & mask;
            values[0] = mask; // all ones once
            std::string packed;
            BitPacker packer;
            packer.put(packed, 0, int(offset)); // bits before the first value
            for (const std::uint64_t v : values)
                packer.put(packed, v, width);
            packer.flush(packed);
            std::vector<unsigned char> bytes(packed.begin(), packed.end());
            bytes.resize(bytes.size() + unpackSlack, 0);
            std::vector<std::uint64_t> read(values.size());
            unpackBits(bytes.data(), offset, width, read.size(), read.data());
            ASSERT_EQ(read, values);
        }
    }
}

TEST(E57Format, PagedFileMapsOffsetsAndChecksEachPage)
{
    // A long XML section runs over several pages.
    E57FilePlan plan;
    plan.scans.push_back({"one", {}, {}, cartesianFields({{1, 2, 3}, {4, 5, 6}})});
    QByteArray xml;
    plan.editXml = [&xml](QByteArray& text) {
        text.replace("</e57Root>",
                     "<notes type=\"String\">" + QByteArray(3000, 'n') + "</notes></e57Root>");
        xml = text;
    };
    E57Image image = e57File(plan);
    ASSERT_GE(image.bytes.size(), 4 * 1024);
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath(QStringLiteral("a.e57")), image.bytes);

    PagedFile file(2048); // two pages at a time, so reads cross the cache's edges too
    ASSERT_TRUE(file.open(path)) << file.error();
    EXPECT_EQ(file.header().pageSize, 1024u);
    EXPECT_EQ(file.header().physicalLength, std::uint64_t(image.bytes.size()));
    EXPECT_EQ(file.physicalOffset(1019), 1019u);
    EXPECT_EQ(file.physicalOffset(1020), 1024u);
    EXPECT_EQ(file.logicalOffset(2048 + 5), 2040u + 5);
    EXPECT_TRUE(file.isDataOffset(1019));
    EXPECT_FALSE(file.isDataOffset(1020)) << "a checksum byte";
    EXPECT_FALSE(file.isDataOffset(std::uint64_t(image.bytes.size())));

    QByteArray read(xml.size(), '\0');
    ASSERT_TRUE(file.read(file.logicalOffset(std::uint64_t(image.xmlOffset)), read.data(),
                          std::uint64_t(xml.size())));
    EXPECT_EQ(read, xml);
    EXPECT_FALSE(file.read(file.logicalLength() - 2, read.data(), 3));

    // One damaged byte in page 2: that page is refused by number, the others still read.
    image.bytes[2 * 1024 + 100] = char(image.bytes[2 * 1024 + 100] ^ 0x20);
    writeFile(path, image.bytes);
    ASSERT_TRUE(file.open(path));
    char byte = 0;
    EXPECT_TRUE(file.read(1020 + 500, &byte, 1));
    EXPECT_FALSE(file.read(2 * 1020 + 500, &byte, 1));
    EXPECT_EQ(file.error(), "bad checksum in page 2 (bytes 2048 to 3071)");
    EXPECT_TRUE(file.read(3 * 1020 + 5, &byte, 1));
}

TEST(E57Format, XmlSectionGivesScansFieldsAndPoses)
{
    const QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<e57Root type="Structure" xmlns="http://www.astm.org/COMMIT/E57/2010-e57-v1.0"
         xmlns:nor="http://www.libe57.org/E57_NOR_surface_normals.txt">
  <images2D type="Vector"><vectorChild type="Structure"><name type="String">photo</name>
  </vectorChild></images2D>
  <data3D type="Vector" allowHeterogeneousChildren="1">
    <vectorChild type="Structure">
      <nor:name type="String">not the name</nor:name>
      <pose type="Structure">
        <translation type="Structure"><x type="Float">5e2</x><z type="ScaledInteger"
          scale="0.5" offset="1">4</z></translation>
        <rotation type="Structure"><w type="Float">0.5</w><x type="Float">0.5</x>
          <y type="Float">0.5</y><z type="Integer"/></rotation>
      </pose>
      <points type="CompressedVector" fileOffset="48" recordCount="7">
        <prototype type="Structure">
          <cartesianX type="ScaledInteger" minimum="-500" maximum="500" scale="0.001"/>
          <nor:normalX type="Float" precision="single"/>
          <cartesianInvalidState type="Integer" minimum="0" maximum="2"/>
          <time type="Structure"><stamp type="Integer"/></time>
        </prototype>
        <codecs type="Vector" allowHeterogeneousChildren="1"></codecs>
      </points>
      <name type="String"><![CDATA[ Station <3> ]]></name>
      <indexBounds type="Structure"><rowMaximum type="Integer">9</rowMaximum></indexBounds>
    </vectorChild>
    <vectorChild type="Structure"/>
  </data3D>
</e57Root>
)";
    std::vector<Scan> scans;
    std::string error;
    ASSERT_TRUE(parseXmlSection(xml, scans, error)) << error;
    ASSERT_EQ(scans.size(), 2u) << "images2D holds no scan";
    const Scan& s = scans[0];
    EXPECT_EQ(s.name, QStringLiteral("Station <3>"));
    EXPECT_EQ(s.rotation, (std::array<double, 4>{0.5, 0.5, 0.5, 0.0}));
    EXPECT_EQ(s.translation, (std::array<double, 3>{500.0, 0.0, 3.0}));
    EXPECT_EQ(s.rowMaximum, 9);
    EXPECT_EQ(s.columnMaximum, -1);
    ASSERT_TRUE(s.hasPoints);
    EXPECT_EQ(s.points.fileOffset, 48u);
    EXPECT_EQ(s.points.recordCount, 7);
    ASSERT_EQ(s.points.fields.size(), 4u) << "one bytestream per terminal element";
    EXPECT_EQ(s.points.fields[0].bits(), 10);
    EXPECT_EQ(s.points.fields[1].name, QStringLiteral("nor:normalX"));
    EXPECT_FALSE(s.points.fields[1].standard);
    EXPECT_EQ(s.points.fields[1].bits(), 32);
    EXPECT_EQ(s.points.fields[2].bits(), 2);
    EXPECT_EQ(s.points.fields[3].name, QStringLiteral("time/stamp"));
    EXPECT_EQ(s.points.fields[3].bits(), 64) << "an Integer without bounds takes all 64 bits";
    EXPECT_EQ(fieldIndex(s.points, "cartesianInvalidState"), 2);
    EXPECT_EQ(fieldIndex(s.points, "normalX"), -1);
    EXPECT_FALSE(scans[1].hasPoints);
    EXPECT_TRUE(scans[1].name.isEmpty());
    EXPECT_EQ(scans[1].rotation, (std::array<double, 4>{1.0, 0.0, 0.0, 0.0})) << "no pose";
}

// Writes the inputs of bench/many_scans.sh: many tiny scans in one file, where what a
// reader does per scan (its header, opening it, the engine's set-up for it) is all the
// work there is.
//
//   write_many_scans ptx FILE N   N scans of 0 x 0 points, one ten-line header each
//   write_many_scans e57 FILE N   N scans of 2 points that share one binary section

#include "E57TestFiles.h"

#include <QFile>

#include <iostream>
#include <string>

namespace {

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

QByteArray emptyPtxScans(long long count)
{
    const QByteArray header = "0\n0\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n"
                              "1 0 0 0\n0 1 0 0\n0 0 1 0\n0 0 0 1\n";
    QByteArray text;
    text.reserve(header.size() * count);
    for (long long k = 0; k < count; ++k)
        text += header;
    return text;
}

QByteArray sharedSectionE57(long long count)
{
    using namespace orthaven::test;
    E57ScanPlan scan;
    scan.name = "shared";
    scan.fields = cartesianFields({{1.0, 2.0, 0.5}, {2.0, 1.0, 0.5}});
    E57FilePlan plan;
    plan.scans = {scan};
    // Every scan of data3D names the one binary section of the first.
    plan.editXml = [count](QByteArray& xml) {
        const qsizetype from = xml.indexOf("<vectorChild");
        const qsizetype to = xml.indexOf("</vectorChild>") + qsizetype(sizeof "</vectorChild>");
        const QByteArray child = xml.mid(from, to - from);
        QByteArray children;
        children.reserve(child.size() * count);
        for (long long k = 0; k < count; ++k)
            children += child;
        xml.replace(from, to - from, children);
    };
    return e57File(plan).bytes;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string format = argc == 4 ? argv[1] : "";
    const long long count = argc == 4 ? std::stoll(argv[3]) : 0;
    if ((format != "ptx" && format != "e57") || count < 1) {
        std::cerr << "usage: write_many_scans ptx|e57 FILE N" << std::endl;
        return 2;
    }
    const QByteArray bytes = format == "ptx" ? emptyPtxScans(count) : sharedSectionE57(count);
    if (!writeAll(QString::fromLocal8Bit(argv[2]), bytes)) {
        std::cerr << "write_many_scans: cannot write " << argv[2] << std::endl;
        return 1;
    }
    return 0;
}

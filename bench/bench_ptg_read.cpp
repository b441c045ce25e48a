// PTG throughput: lists and reads a large generated PTG file through ScanSourcePTG, the
// way the layout engine does (openScan, readPoints with 1000 columns until false), and
// reports points per second and MB/s. The scene, grid and extras are those of the PTX
// benchmark, so the two read the same scan. The file is generated once and reused.
//
// Own options (before Google Benchmark's):
//   --ptg-points=N   grid cells in the generated file (default 4000000)
//   --ptg-file=PATH  read this file instead (generated there when missing)
//   --ptg-doubles    generate x, y, z as doubles instead of floats

#include "ReadAllScans.h"
#include "genscan/GenScanJob.h"
#include "scan/ScanSourcePTG.h"

#include <QDir>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

QString benchFile;

bool prepareFile(qint64 points, bool doubles)
{
    if (QFileInfo::exists(benchFile))
        return true;
    orthaven::genscan::GenScanOptions options;
    const QFileInfo info(benchFile);
    options.outputFolder = info.absolutePath();
    options.format = doubles ? QStringLiteral("ptg-double") : QStringLiteral("ptg");
    options.baseName = QStringLiteral("ptg_bench_tmp");
    options.stations = 1;
    options.intensity = true;
    options.colour = true;
    options.pointsPerColumn = 2500; // as the PTX benchmark
    options.columns = int(std::max<qint64>(1, points / options.pointsPerColumn));
    std::cout << "Generating " << benchFile.toStdString() << " ("
              << qint64(options.columns) * options.pointsPerColumn << " grid cells) ..."
              << std::endl;
    orthaven::genscan::GenScanJob job(options);
    if (!job.run()) {
        std::cerr << job.errorText().toStdString() << std::endl;
        return false;
    }
    // One scan per file: the generator names it after the station.
    QFile::remove(benchFile);
    return QFile::rename(job.files().value(0), benchFile);
}

void silence(std::ostream& out, std::streambuf*& saved)
{
    saved = out.rdbuf(nullptr);
}

void BM_PtgIndex(benchmark::State& state)
{
    std::streambuf* saved = nullptr;
    silence(std::cout, saved);
    int scans = 0;
    for (auto _ : state) {
        orthaven::ScanSourcePTG reader;
        reader.fetchFiles({benchFile});
        scans = reader.scanCount();
        benchmark::DoNotOptimize(scans);
    }
    std::cout.rdbuf(saved);
    state.counters["scans"] = scans;
}

void BM_PtgReadPoints(benchmark::State& state)
{
    const double bytes = double(QFileInfo(benchFile).size());
    std::streambuf* saved = nullptr;
    silence(std::cout, saved);
    orthaven::ScanSourcePTG reader;
    reader.fetchFiles({benchFile});
    double points = 0;
    double sum = 0;
    for (auto _ : state) {
        const orthaven::bench::ReadTotals totals = orthaven::bench::readAllScans(reader);
        points = double(totals.points);
        sum += totals.checksum;
    }
    benchmark::DoNotOptimize(sum);
    std::cout.rdbuf(saved);
    state.counters["points/s"] =
        benchmark::Counter(points, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["MB/s"] =
        benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["points"] = points;
    state.counters["bytes"] = bytes;
}

// An index file that names the benchmark file 5000 times: listed as one scan, its header
// read once.
void BM_PtgIndexNamingOneFile5000Times(benchmark::State& state)
{
    const QFileInfo info(benchFile);
    const QString index = info.absolutePath() + QStringLiteral("/ptg_index_5000.txt");
    QFile file(index);
    if (!file.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot write the index file");
        return;
    }
    QByteArray text = "PTG index file\n";
    for (int k = 0; k < 5000; ++k)
        text += info.fileName().toUtf8() + '\n';
    file.write(text);
    file.close();
    std::streambuf* saved = nullptr;
    silence(std::cout, saved);
    int scans = 0;
    for (auto _ : state) {
        orthaven::ScanSourcePTG reader;
        reader.fetchFiles({index});
        scans = reader.scanCount();
        benchmark::DoNotOptimize(scans);
    }
    std::cout.rdbuf(saved);
    QFile::remove(index);
    state.counters["scans"] = scans;
}

BENCHMARK(BM_PtgIndex)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PtgIndexNamingOneFile5000Times)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PtgReadPoints)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qint64 points = 4000000;
    bool doubles = false;
    std::vector<char*> rest;
    for (int k = 0; k < argc; ++k) {
        if (std::strncmp(argv[k], "--ptg-points=", 13) == 0)
            std::from_chars(argv[k] + 13, argv[k] + std::strlen(argv[k]), points);
        else if (std::strncmp(argv[k], "--ptg-file=", 11) == 0)
            benchFile = QString::fromLocal8Bit(argv[k] + 11);
        else if (std::strcmp(argv[k], "--ptg-doubles") == 0)
            doubles = true;
        else
            rest.push_back(argv[k]);
    }
    if (benchFile.isEmpty()) {
        benchFile = QDir(QDir::tempPath())
                        .filePath(QStringLiteral("orthaven-bench/ptg_read_%1%2.ptg")
                                      .arg(points)
                                      .arg(doubles ? QStringLiteral("_double") : QString()));
    }
    if (!prepareFile(points, doubles))
        return 1;
    int restCount = int(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

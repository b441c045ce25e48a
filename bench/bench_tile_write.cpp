// How long writing one output tile takes, and how large it gets, per image format and
// PNG setting: the figures behind the choice of the PNG compression level.
//
//   bench_tile_write TILE_IMAGE [REPEATS]   prints one line per setting

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>

#include <chrono>
#include <cstdio>

namespace {

struct Setting
{
    const char* name;
    const char* format;
    int quality;     // -1: default
    int compression; // -1: default
    bool grey;       // 8-bit grey instead of 32-bit colour
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_tile_write TILE_IMAGE [REPEATS]\n");
        return 2;
    }
    const QImage source(QString::fromLocal8Bit(argv[1]));
    if (source.isNull()) {
        std::fprintf(stderr, "bench_tile_write: cannot read %s\n", argv[1]);
        return 1;
    }
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const QImage colour = source.convertToFormat(QImage::Format_RGB32);
    const QImage grey = source.convertToFormat(QImage::Format_Grayscale8);
    const Setting settings[] = {
        {"png colour, default", "png", -1, -1, false},
        {"png grey, default", "png", -1, -1, true},
        {"png grey, quality 0 (level 9)", "png", 0, -1, true},
        {"png grey, quality 50 (level 4)", "png", 50, -1, true},
        {"png grey, quality 70 (level 2)", "png", 70, -1, true},
        {"png grey, quality 80 (level 1)", "png", 80, -1, true},
        {"png grey, quality 100 (level 0)", "png", 100, -1, true},
        {"jpeg colour, default", "jpeg", -1, -1, false},
        {"jpeg grey, default", "jpeg", -1, -1, true},
        {"tiff colour, lzw", "tiff", -1, 1, false},
        {"tiff grey, lzw", "tiff", -1, 1, true},
    };
    std::printf("%d x %d pixels, best of %d\n", source.width(), source.height(), repeats);
    for (const Setting& s : settings) {
        double best = 1e9;
        qint64 bytes = 0;
        for (int k = 0; k < repeats; ++k) {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, s.format);
            if (s.quality >= 0)
                writer.setQuality(s.quality);
            if (s.compression >= 0)
                writer.setCompression(s.compression);
            const auto start = std::chrono::steady_clock::now();
            if (!writer.write(s.grey ? grey : colour)) {
                std::fprintf(stderr, "%s: %s\n", s.name, qPrintable(writer.errorString()));
                break;
            }
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            best = std::min(best, seconds);
            bytes = buffer.size();
        }
        std::printf("%-34s %8.3f s %10.2f MB\n", s.name, best, double(bytes) / 1e6);
    }
    return 0;
}

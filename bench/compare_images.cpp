// Compares two images pixel by pixel, whatever their encoding (8-bit grey or 32-bit
// colour): the figures behind "pixel-identical".
//
//   compare_images A B   prints "same" or "differ <pixels> max <largest channel difference>"
//                        and exits 0 when the pictures are identical, 1 when they differ,
//                        2 when one cannot be read or the sizes differ

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: compare_images A B\n");
        return 2;
    }
    const QImage a = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    const QImage b = QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
    if (a.isNull() || b.isNull() || a.size() != b.size()) {
        std::printf("unreadable or of different sizes\n");
        return 2;
    }
    long long differing = 0;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const QRgb* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int d =
                std::max({std::abs(qRed(p[x]) - qRed(q[x])), std::abs(qGreen(p[x]) - qGreen(q[x])),
                          std::abs(qBlue(p[x]) - qBlue(q[x]))});
            if (d > 0) {
                ++differing;
                largest = std::max(largest, d);
            }
        }
    }
    if (differing == 0) {
        std::printf("same\n");
        return 0;
    }
    std::printf("differ %lld max %d\n", differing, largest);
    return 1;
}

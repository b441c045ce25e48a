#include "scan/ScanSourceFactory.h"

#include "scan/ScanSourceE57.h"
#include "scan/ScanSourceFaro.h"
#include "scan/ScanSourceLAS.h"
#include "scan/ScanSourcePTG.h"
#include "scan/ScanSourcePTX.h"
#include "scan/ScanSourceRiegl.h"
#include "scan/riegl/RieglPath.h"

#include <QCoreApplication>

namespace orthaven {

namespace {

// One explicit table, not static self-registration: a static library drops objects
// that nothing references.
template <class Reader> std::unique_ptr<ScanSource> create()
{
    return std::make_unique<Reader>();
}

const char* refuseRieglPath(const QString& path)
{
    // Marked for translation here; the window translates it where it shows it.
    return rieglProjectPathRefused(path)
               ? QT_TRANSLATE_NOOP("Layout",
                                   "The Riegl API doesn't support a file path with non ASCII "
                                   "letters yet.\nPlease move your project to a different path "
                                   "with ASCII letters in the path only!")
               : nullptr;
}

// A compressed LAS file is known by its name before it is opened; one that is named .las
// is refused by the reader.
const char* refuseCompressedLas(const QString& path)
{
    return path.endsWith(QLatin1String(".laz"), Qt::CaseInsensitive)
               ? QT_TRANSLATE_NOOP("Layout", "Compressed LAS files (LAZ) are not read; "
                                             "decompress them to LAS first.")
               : nullptr;
}

// What setNextScanSource put aside for the next createScanSource.
std::unique_ptr<ScanSource>& nextScanSource()
{
    static std::unique_ptr<ScanSource> next;
    return next;
}

} // namespace

bool ScanFormat::matches(const QString& path) const
{
    const QString lower = path.toLower();
    for (const QString& extension : extensions) {
        if (lower.endsWith(extension))
            return true;
    }
    return false;
}

const std::vector<ScanFormat>& scanFormats()
{
    static const std::vector<ScanFormat> formats = {
        {"PTX", {QStringLiteral(".ptx")}, "PTX(*.ptx)", &create<ScanSourcePTX>, nullptr, nullptr},
        {"FARO",
         {QStringLiteral(".fws")},
         "FARO(*.fws)",
         &create<ScanSourceFaro>,
         nullptr,
         "Faro File ..... "},
        {"Riegl",
         {QStringLiteral(".rsp")},
         "Riegl(V-Line) (*.rsp)",
         &create<ScanSourceRiegl>,
         &refuseRieglPath,
         nullptr},
        {"PTG", {QStringLiteral(".ptg")}, "Leica(*.ptg)", &create<ScanSourcePTG>, nullptr, nullptr},
        {"E57", {QStringLiteral(".e57")}, "E57(*.e57)", &create<ScanSourceE57>, nullptr, nullptr},
        {"LAS",
         {QStringLiteral(".las"), QStringLiteral(".laz")},
         "LAS(*.las *.laz)",
         &create<ScanSourceLAS>,
         &refuseCompressedLas,
         nullptr},
    };
    return formats;
}

const ScanFormat* scanFormatFor(const QString& path)
{
    for (const ScanFormat& format : scanFormats()) {
        if (format.matches(path))
            return &format;
    }
    return nullptr;
}

void setNextScanSource(std::unique_ptr<ScanSource> reader)
{
    nextScanSource() = std::move(reader);
}

std::unique_ptr<ScanSource> createScanSource(const QString& firstInputPath)
{
    if (nextScanSource())
        return std::move(nextScanSource());
    const ScanFormat* format = scanFormatFor(firstInputPath);
    return format ? format->create() : nullptr;
}

QStringList supportedScanExtensions()
{
    QStringList extensions;
    for (const ScanFormat& format : scanFormats())
        extensions += format.extensions;
    return extensions;
}

QString scanFileFilter(const QString& allSupported)
{
    QString all = allSupported + QStringLiteral(" (");
    for (const QString& extension : supportedScanExtensions())
        all += QLatin1Char('*') + extension + QLatin1Char(' ');
    all += QLatin1Char(')');
    for (const ScanFormat& format : scanFormats())
        all += QStringLiteral(";; ") + QString::fromLatin1(format.filterLabel);
    return all;
}

QStringList scanFormatNames()
{
    QStringList names;
    for (const ScanFormat& format : scanFormats())
        names.append(QString::fromLatin1(format.name));
    return names;
}

const char* scanPathRefusal(const QString& path)
{
    const ScanFormat* format = scanFormatFor(path);
    return format && format->refusePath ? format->refusePath(path) : nullptr;
}

} // namespace orthaven

#include "scan/ScanSourceFactory.h"

#include "scan/ScanSourceE57.h"
#include "scan/ScanSourcePTG.h"
#include "scan/ScanSourceFaro.h"
#include "scan/ScanSourcePTX.h"
#include "scan/ScanSourceRiegl.h"

#include <QFileInfo>

namespace orthaven {

namespace {

struct ReaderEntry
{
    const char* extension;
    std::unique_ptr<ScanSource> (*create)();
};

// One explicit table, not static self-registration: a static library drops objects
// that nothing references.
template <class Reader> std::unique_ptr<ScanSource> create()
{
    return std::make_unique<Reader>();
}

const ReaderEntry readers[] = {
    {".ptx", &create<ScanSourcePTX>},
    {".fws", &create<ScanSourceFaro>},
    {".rsp", &create<ScanSourceRiegl>},
    {".ptg", &create<ScanSourcePTG>},
    {".e57", &create<ScanSourceE57>},
};

} // namespace

std::unique_ptr<ScanSource> createScanSource(const QString& firstInputPath)
{
    const QString lower = firstInputPath.toLower();
    for (const ReaderEntry& entry : readers) {
        if (entry.extension && lower.endsWith(QLatin1String(entry.extension)))
            return entry.create();
    }
    return nullptr;
}

QStringList supportedScanExtensions()
{
    QStringList extensions;
    for (const ReaderEntry& entry : readers) {
        if (entry.extension)
            extensions.append(QString::fromLatin1(entry.extension));
    }
    return extensions;
}

} // namespace orthaven

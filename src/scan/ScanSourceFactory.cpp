#include "scan/ScanSourceFactory.h"

#include "scan/ScanSourceFaro.h"
#include "scan/ScanSourcePTX.h"

#include <QFileInfo>

#include <iostream>

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

// The console announces a FARO workspace before the library is created, which may take
// a while (or fail with its own line).
std::unique_ptr<ScanSource> createFaro()
{
    std::cout << "Faro File ..... " << std::endl;
    return std::make_unique<ScanSourceFaro>();
}

const ReaderEntry readers[] = {
    {".ptx", &create<ScanSourcePTX>},
    {".fws", &createFaro},
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

// The update check file as the update checker reads it from its download.

#include "FuzzSupport.h"

#include "update/UpdateCheckFile.h"

using namespace orthaven;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::writeInput(data, size, QStringLiteral("orthavenupdatecheck.log"));
    const UpdateCheckFile file = readUpdateCheckFile(path);
    const QString url = file.packageUrl();
    volatile bool newer = isNewer(1.1, file.version) || isNewer(6, file.revision);
    (void)newer;
    fuzz::touch(url.constData(), std::size_t(url.size()) * sizeof(QChar));
    return 0;
}

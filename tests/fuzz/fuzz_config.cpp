// The configuration file orthaven.cfg, read over the defaults and written again.

#include "FuzzSupport.h"

#include "settings/ConfigSettings.h"

using namespace orthaven;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quiet();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzz::writeInput(data, size, QStringLiteral("orthaven.cfg"));
    ConfigSettings settings = defaultConfig();
    if (readConfig(path, settings)) {
        const QByteArray text = configText(settings);
        fuzz::touch(text.constData(), std::size_t(text.size()));
    }
    return 0;
}

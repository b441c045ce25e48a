#include "genscan/ScanWriter.h"

#include "genscan/E57Writer.h"
#include "genscan/FwsWriter.h"
#include "genscan/LasWriter.h"
#include "genscan/PtgWriter.h"
#include "genscan/PtxWriter.h"
#include "genscan/RieglWriter.h"

#include <charconv>
#include <type_traits>

namespace orthaven::genscan {

ScanWriter::~ScanWriter() = default;

bool ScanWriter::writeIndexFile(const QString& path, const QStringList&)
{
    error =
        QStringLiteral("Cannot write %1: the %2 format has no index file").arg(path, extension());
    return false;
}

namespace {

struct WriterEntry
{
    const char* format;
    std::unique_ptr<ScanWriter> (*create)();
};

template <class Writer> std::unique_ptr<ScanWriter> create()
{
    return std::make_unique<Writer>();
}

std::unique_ptr<ScanWriter> createPtgWithDoubles()
{
    return std::make_unique<PtgWriter>(true);
}

// Formats are added here as their writers arrive.
const WriterEntry writers[] = {
    {"ptx", &create<PtxWriter>},           {"ptg", &create<PtgWriter>},
    {"ptg-double", &createPtgWithDoubles}, {"fws", &create<FwsWriter>},
    {"rsp", &create<RieglWriter>},         {"e57", &create<E57Writer>},
    {"las", &create<LasWriter>},
};

template <class T> void appendChars(std::string& out, T value)
{
    char text[64];
    std::to_chars_result r;
    if constexpr (std::is_floating_point_v<T>)
        r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    else
        r = std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr);
}

} // namespace

bool ScanWriter::flushFile(BufferedFile& file, bool always)
{
    if (file.flush(always))
        return true;
    if (error.isEmpty())
        error = file.errorText();
    return false;
}

bool ScanWriter::commitFile(BufferedFile& file)
{
    if (file.commit())
        return true;
    if (error.isEmpty())
        error = file.errorText();
    return false;
}

std::unique_ptr<ScanWriter> createScanWriter(const QString& format)
{
    const QString lower = format.toLower();
    for (const WriterEntry& entry : writers) {
        if (lower == QLatin1String(entry.format))
            return entry.create();
    }
    return nullptr;
}

QStringList scanWriterFormats()
{
    QStringList formats;
    for (const WriterEntry& entry : writers)
        formats.append(QString::fromLatin1(entry.format));
    return formats;
}

void appendNumber(std::string& out, double value)
{
    appendChars(out, value);
}
void appendNumber(std::string& out, float value)
{
    appendChars(out, value);
}
void appendNumber(std::string& out, long long value)
{
    appendChars(out, value);
}

} // namespace orthaven::genscan

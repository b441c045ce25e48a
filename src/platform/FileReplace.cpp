#include "platform/FileReplace.h"

#include <QFile>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdio>
#endif

namespace orthaven {

bool replaceFile(const QString& from, const QString& to)
{
#ifdef _WIN32
    const std::wstring source = from.toStdWString();
    const std::wstring target = to.toStdWString();
    return MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

} // namespace orthaven

#include "platform/FileReplace.h"

#include <QFile>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#endif

namespace orthaven {

bool replaceFile(const QString& from, const QString& to, QString* failure)
{
#ifdef _WIN32
    const std::wstring source = from.toStdWString();
    const std::wstring target = to.toStdWString();
    if (MoveFileExW(source.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
        return true;
    if (failure)
        *failure = qt_error_string(int(GetLastError()));
    return false;
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    if (failure)
        *failure = qt_error_string(errno);
    return false;
#endif
}

} // namespace orthaven

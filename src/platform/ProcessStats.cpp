#include "platform/ProcessStats.h"

#ifdef _WIN32
// clang-format off
#include <windows.h> // before psapi.h, which needs its types
#include <psapi.h>
#include <io.h>
#include <stdio.h>
// clang-format on
#else
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace orthaven {

bool standardErrorIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) == 1;
#endif
}

int terminalColumns()
{
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
#else
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#endif
    return 80;
}

std::int64_t peakResidentBytes()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)))
        return std::int64_t(counters.PeakWorkingSetSize);
    return 0;
#else
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
#ifdef __APPLE__
    return std::int64_t(usage.ru_maxrss); // bytes there
#else
    return std::int64_t(usage.ru_maxrss) * 1024; // kilobytes on Linux and the BSDs
#endif
#endif
}

std::int64_t physicalMemoryBytes()
{
#ifdef _WIN32
    MEMORYSTATUSEX status;
    status.dwLength = sizeof(status);
    if (GlobalMemoryStatusEx(&status))
        return std::int64_t(status.ullTotalPhys);
    return 0;
#else
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return std::int64_t(pages) * pageSize;
#endif
}

} // namespace orthaven

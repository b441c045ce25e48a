#include "platform/ProcessLiveness.h"

#include <QCoreApplication>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>
#endif

#include <limits>

namespace orthaven {

std::int64_t currentProcessId()
{
    return QCoreApplication::applicationPid();
}

bool processIsRunning(std::int64_t pid)
{
    if (pid <= 0)
        return false;
#ifdef _WIN32
    if (pid > (std::numeric_limits<DWORD>::max)()) // parenthesised: windows.h defines max
        return false;
    HANDLE process =
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED; // exists, but is not ours to open
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
#else
    // kill(0, …) and negative ids would address process groups: excluded above.
    if (pid > std::numeric_limits<pid_t>::max())
        return false;
    if (::kill(pid_t(pid), 0) == 0)
        return true;
    return errno == EPERM;
#endif
}

} // namespace orthaven

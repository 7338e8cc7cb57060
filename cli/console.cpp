#include "console.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace ortiva::cli {

namespace {

std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    gStop = true;
    return TRUE;
}
#else
using Handler = void (*)(int);
Handler gPrevious = SIG_DFL;
extern "C" void OnInterrupt(int) { gStop = true; }
#endif

}  // namespace

bool IsTerminal(std::FILE* stream)
{
#ifdef _WIN32
    if (!_isatty(_fileno(stream))) return false;
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (GetConsoleMode(h, &mode)) SetConsoleMode(h, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    return true;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

StopOnInterrupt::StopOnInterrupt()
{
    gStop = false;
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    gPrevious = std::signal(SIGINT, OnInterrupt);
#endif
}

StopOnInterrupt::~StopOnInterrupt()
{
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
#else
    std::signal(SIGINT, gPrevious == SIG_ERR ? SIG_DFL : gPrevious);
#endif
}

bool StopOnInterrupt::StopRequested() { return gStop; }

}  // namespace ortiva::cli

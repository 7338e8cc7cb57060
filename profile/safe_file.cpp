#include "safe_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ortiva {

namespace {

// A name beside the target that no other writer picks at the same time.
std::string TemporaryName(const std::string& path, unsigned long process)
{
    static std::atomic<unsigned> counter{0};
    return path + ".tmp-" + std::to_string(process) + "-" + std::to_string(counter++);
}

[[noreturn]] void Fail(const std::string& path, const std::string& reason)
{
    throw Failure(kExitUsage, path + ": " + reason);
}

}  // namespace

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& text)
{
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Reason(DWORD error)
{
    char* text = nullptr;
    const DWORD n =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = n && text ? std::string(text, n) : "error " + std::to_string(error);
    if (text) ::LocalFree(text);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ' || reason.back() == '.'))
        reason.pop_back();
    return reason;
}

}  // namespace

void WriteFileWhole(const std::string& path, std::string_view bytes)
{
    const std::string temporary = TemporaryName(path, ::GetCurrentProcessId());
    const std::wstring wideTemporary = Wide(temporary);
    HANDLE file =
        ::CreateFileW(wideTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail(path, Reason(::GetLastError()));
    auto abandon = [&](DWORD error, bool open) {
        if (open) ::CloseHandle(file);
        ::DeleteFileW(wideTemporary.c_str());
        Fail(path, Reason(error));
    };
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            abandon(::GetLastError(), true);
        done += written;
    }
    if (!::FlushFileBuffers(file)) abandon(::GetLastError(), true);
    if (!::CloseHandle(file)) abandon(::GetLastError(), false);
    if (!::MoveFileExW(wideTemporary.c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        abandon(::GetLastError(), false);
}

#else

void WriteFileWhole(const std::string& path, std::string_view bytes)
{
    const std::string temporary = TemporaryName(path, static_cast<unsigned long>(::getpid()));
    // Created with the usual permissions (the umask applies), or those of
    // the file it replaces.
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) Fail(path, std::strerror(errno));
    auto abandon = [&](int error, bool open) {
        if (open) ::close(fd);
        ::unlink(temporary.c_str());
        Fail(path, std::strerror(error));
    };
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && ::fchmod(fd, existing.st_mode & 07777) != 0) abandon(errno, true);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) abandon(n < 0 ? errno : ENOSPC, true);
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0) abandon(errno, true);
    if (::close(fd) != 0) abandon(errno, false);
    if (::rename(temporary.c_str(), path.c_str()) != 0) abandon(errno, false);
    // The rename itself reaches the disk with the folder.
    std::string folder = std::filesystem::path(path).parent_path().string();
    if (folder.empty()) folder = ".";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) Fail(path, std::string("written, but its folder could not be flushed: ") + std::strerror(errno));
    const int synced = ::fsync(dir);
    const int error = errno;
    ::close(dir);
    // Some file systems cannot flush a folder (EINVAL); the rename stands.
    if (synced != 0 && error != EINVAL)
        Fail(path, std::string("written, but its folder could not be flushed: ") + std::strerror(error));
}

#endif

}  // namespace ortiva

#include "port_catalog.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#include <setupapi.h>
#else
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace ortiva {

namespace {

// Natural order: runs of digits compare by their value.
bool NaturalLess(const std::string& a, const std::string& b)
{
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[j]);
        if (std::isdigit(ca) && std::isdigit(cb)) {
            size_t ei = i;
            size_t ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            std::string na = a.substr(i, ei - i);
            std::string nb = b.substr(j, ej - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        if (ca != cb) return ca < cb;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;
}

void FillBlank(std::string& field, const std::string& other)
{
    if (field.empty()) field = other;
}

std::string PresentPortLines(const std::vector<PortRecord>& present, const std::string& tried)
{
    std::string lines;
    for (const PortItem& item : PortListItems(present)) {
        if (item.text == tried) continue;
        lines += "\n    " + item.text;
        const std::string firstLine = item.toolTip.substr(0, item.toolTip.find('\n'));
        if (!firstLine.empty()) lines += "  " + firstLine;
    }
    if (lines.empty()) return "No other serial port was found on this computer.";
    return "Serial ports present on this computer:" + lines;
}

}  // namespace

std::vector<PortItem> PortListItems(const std::vector<PortRecord>& records)
{
    std::map<std::string, PortRecord, bool (*)(const std::string&, const std::string&)> byPath(NaturalLess);
    for (const PortRecord& record : records) {
        if (record.path.empty()) continue;
        auto [at, added] = byPath.emplace(record.path, record);
        if (!added) {
            PortRecord& kept = at->second;
            FillBlank(kept.description, record.description);
            FillBlank(kept.manufacturer, record.manufacturer);
            FillBlank(kept.serialNumber, record.serialNumber);
            FillBlank(kept.byIdPath, record.byIdPath);
        }
    }
    std::vector<PortItem> items;
    items.reserve(byPath.size());
    for (const auto& [path, record] : byPath) {
        std::vector<std::string> lines;
        if (!record.description.empty()) lines.push_back(record.description);
        if (!record.manufacturer.empty()) lines.push_back("Manufacturer: " + record.manufacturer);
        if (!record.serialNumber.empty()) lines.push_back("Serial number: " + record.serialNumber);
        if (!record.byIdPath.empty()) lines.push_back(record.byIdPath);
        std::string tip;
        for (const std::string& line : lines) tip += (tip.empty() ? "" : "\n") + line;
        items.push_back({path, tip});
    }
    return items;
}

#ifdef _WIN32

// ---------------------------------------------------------------- Windows

namespace {

std::string Utf8(const wchar_t* text, size_t length)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
    if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
    return out;
}

std::string Utf8(const std::wstring& text) { return Utf8(text.data(), text.size()); }

// A text property of a device as the device manager shows it; "" when it has none.
std::string DeviceText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property)
{
    wchar_t buffer[512] = {};
    DWORD type = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(buffer),
                                             sizeof buffer - sizeof(wchar_t), nullptr) ||
        type != REG_SZ)
        return {};
    return Utf8(std::wstring(buffer));
}

// The name the port is opened by ("COM3"), from the device's own settings.
std::string PortName(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const LONG got = ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    ::RegCloseKey(key);
    return got == ERROR_SUCCESS && type == REG_SZ ? Utf8(std::wstring(name)) : std::string();
}

// The serial number a USB device reports: the last part of its instance
// name ("USB\\VID_0403&PID_6001\\A50285BI"), when that is not one Windows
// made up (those hold a '&').
std::string SerialNumber(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    wchar_t id[512] = {};
    if (!::SetupDiGetDeviceInstanceIdW(set, &device, id, 511, nullptr)) return {};
    const std::wstring instance(id);
    if (instance.rfind(L"USB\\", 0) != 0 && instance.rfind(L"FTDIBUS\\", 0) != 0) return {};
    const std::wstring last = instance.substr(instance.find_last_of(L'\\') + 1);
    return last.find(L'&') == std::wstring::npos ? Utf8(last) : std::string();
}

bool IsComName(const std::string& name)
{
    return name.size() > 3 && name.compare(0, 3, "COM") == 0 &&
           std::all_of(name.begin() + 3, name.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::string ReasonOf(int systemError)
{
    char* text = nullptr;
    const DWORD n =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(systemError), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = n && text ? std::string(text, n) : "error " + std::to_string(systemError);
    if (text) ::LocalFree(text);
    while (!reason.empty() && std::isspace(static_cast<unsigned char>(reason.back()))) reason.pop_back();
    if (!reason.empty() && reason.back() == '.') reason.pop_back();
    return reason + " (error " + std::to_string(systemError) + ")";
}

}  // namespace

std::vector<PortRecord> PresentPorts()
{
    std::vector<PortRecord> records;
    // The devices that offer the COM port interface: what the device manager
    // lists under "Ports (COM & LPT)", USB adapters included.
    static const GUID kComPortInterface = {
        0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
    HDEVINFO set = ::SetupDiGetClassDevsW(&kComPortInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set != INVALID_HANDLE_VALUE) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
            PortRecord record;
            record.path = PortName(set, device);
            if (record.path.empty()) continue;
            record.description = DeviceText(set, device, SPDRP_FRIENDLYNAME);
            if (record.description.empty()) record.description = DeviceText(set, device, SPDRP_DEVICEDESC);
            record.manufacturer = DeviceText(set, device, SPDRP_MFG);
            record.serialNumber = SerialNumber(set, device);
            records.push_back(std::move(record));
        }
        ::SetupDiDestroyDeviceInfoList(set);
    }
    auto add = [&](const std::string& name) {
        if (IsComName(name) &&
            std::none_of(records.begin(), records.end(), [&](const PortRecord& r) { return r.path == name; }))
            records.push_back({name, {}, {}, {}, {}});
    };
    // The serial ports their drivers announced, with or without that interface.
    HKEY serialComm = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &serialComm) ==
        ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            wchar_t valueName[256];
            DWORD nameLength = 256;
            wchar_t port[64] = {};
            DWORD size = sizeof port - sizeof(wchar_t);
            DWORD type = 0;
            const LONG got = ::RegEnumValueW(serialComm, i, valueName, &nameLength, nullptr, &type,
                                             reinterpret_cast<BYTE*>(port), &size);
            if (got == ERROR_NO_MORE_ITEMS) break;
            if (got == ERROR_SUCCESS && type == REG_SZ) add(Utf8(std::wstring(port)));
        }
        ::RegCloseKey(serialComm);
    }
    // COM names the system knows otherwise (a name that only links elsewhere).
    std::vector<wchar_t> names(65536);
    const DWORD n = ::QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
    for (const wchar_t* name = names.data(); n > 0 && *name != L'\0'; name += std::wcslen(name) + 1) {
        add(Utf8(std::wstring(name)));
    }
    return records;
}

// Windows does not tell which program holds a port.
std::vector<std::string> PortHolders(const std::string&) { return {}; }

std::string OpenFailureAdvice(const std::string& path, int systemError)
{
    std::vector<PortRecord> present;
    if (systemError == ERROR_FILE_NOT_FOUND || systemError == ERROR_PATH_NOT_FOUND ||
        systemError == ERROR_GEN_FAILURE || systemError == ERROR_DEVICE_NOT_CONNECTED ||
        systemError == ERROR_DEV_NOT_EXIST || systemError == ERROR_NOT_READY)
        present = PresentPorts();
    return OpenFailureAdvice(path, systemError, present);
}

std::string OpenFailureAdvice(const std::string& path, int systemError, const std::vector<PortRecord>& present)
{
    std::string advice = "Port: " + path;
    if (systemError == 0) return advice;
    advice += "\nReason: " + ReasonOf(systemError) + ".";
    std::string what;
    switch (systemError) {
    case ERROR_ACCESS_DENIED:  // how Windows answers for a port another program has open
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        what = "Another program has the port open (Windows does not tell which one).\nClose it there, then try again.";
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        what =
            "This port does not exist on this computer. Is the adapter plugged in?\n" + PresentPortLines(present, path);
        break;
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NOT_READY:
        what = "No serial device answers behind this name.\n" + PresentPortLines(present, path);
        break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED: what = "This is not a serial port."; break;
    default: break;
    }
    if (!what.empty()) advice += "\n" + what;
    return advice;
}

#else

// ---------------------------------------------------------------- POSIX

namespace {

std::string ReasonOf(int systemError)
{
    const char* text = ::strerrordesc_np(systemError);
    const char* name = ::strerrorname_np(systemError);
    std::string reason = text ? text : "error " + std::to_string(systemError);
    if (name) reason += std::string(" (") + name + ")";
    return reason;
}

std::string UserName()
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->pw_name;
    return std::to_string(::geteuid());
}

std::string GroupName(gid_t gid)
{
    std::vector<char> buffer(65536);
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) return found->gr_name;
    return std::to_string(gid);
}

// Whether this process carries the group now.
bool ProcessHasGroup(gid_t gid)
{
    if (::getegid() == gid) return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int got = ::getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// Whether the group database lists the user in the group (true also for a
// membership added after this login began).
bool UserListedInGroup(gid_t gid)
{
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
    int count = 64;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) return false;
    }
    return std::find(groups.begin(), groups.begin() + count, gid) != groups.begin() + count;
}

std::string PermissionAdvice(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return {};
    const std::string user = UserName();
    const std::string groupName = GroupName(info.st_gid);
    const bool groupMayUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP) && info.st_gid != 0;
    if (!groupMayUse) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        return "Only the port's owner may open it (mode " + std::string(mode) +
               "). Ask the administrator to give the port to a group such as \"dialout\" (a udev rule).";
    }
    if (UserListedInGroup(info.st_gid) && !ProcessHasGroup(info.st_gid))
        return "The port belongs to the group \"" + groupName + "\". User \"" + user +
               "\" is already in that group, but this session began before that:\nlog out and back in.";
    return "The port belongs to the group \"" + groupName + "\", and user \"" + user +
           "\" is not in it. Add the user to the group with\n    sudo usermod -aG " + groupName + " " + user +
           "\nthen log out and back in.";
}

std::string ProcessName(int pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "a program" : name;
}

// The first line of a sysfs attribute; "" when there is none.
std::string Attribute(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

}  // namespace

std::vector<PortRecord> PresentPorts() { return PresentPortsIn("/sys", "/dev/serial/by-id"); }

std::vector<PortRecord> PresentPortsIn(const std::string& sysfs, const std::string& byIdFolder)
{
    namespace fs = std::filesystem;
    // udev's stable names: each link under by-id points at its device node.
    std::map<std::string, std::string> byId;
    std::error_code error;
    std::vector<fs::path> links;
    for (const auto& entry : fs::directory_iterator(byIdFolder, error)) links.push_back(entry.path());
    std::sort(links.begin(), links.end());
    for (const auto& link : links) {
        const auto target = fs::canonical(link, error);
        if (!error) byId.emplace(target.string(), link.string());
    }

    // The kernel's list of terminals: a serial line is one with a device
    // behind it (virtual consoles and pseudo-terminals have none).
    std::vector<PortRecord> records;
    const fs::path devices = fs::weakly_canonical(fs::path(sysfs) / "devices", error);
    for (const auto& entry : fs::directory_iterator(fs::path(sysfs) / "class" / "tty", error)) {
        const fs::path& tty = entry.path();
        std::error_code noDevice;
        const fs::path device = fs::canonical(tty / "device", noDevice);
        if (noDevice) continue;
        // A UART slot the kernel keeps without hardware behind it reports
        // port type 0 (unknown).
        if (Attribute(tty / "type") == "0") continue;
        PortRecord record;
        record.path = "/dev/" + tty.filename().string();
        // A USB adapter: the USB device above the interface tells what it is.
        for (fs::path up = device; !up.empty() && up != up.root_path() && up != devices; up = up.parent_path()) {
            if (!fs::exists(up / "idVendor", noDevice)) continue;
            record.description = Attribute(up / "product");
            record.manufacturer = Attribute(up / "manufacturer");
            record.serialNumber = Attribute(up / "serial");
            break;
        }
        if (const auto found = byId.find(record.path); found != byId.end()) record.byIdPath = found->second;
        records.push_back(std::move(record));
    }
    return records;
}

std::vector<std::string> PortHolders(const std::string& path)
{
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) return {};
    std::set<int> pids;

    // A lock on the device node names its holder in /proc/locks, whoever it is.
    char node[64];
    std::snprintf(node, sizeof node, "%02x:%02x:%lu", ::major(target.st_dev), ::minor(target.st_dev),
                  static_cast<unsigned long>(target.st_ino));
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        if (line.find("->") != std::string::npos) continue;  // a waiter, not a holder
        std::istringstream fields(line);
        std::string number, kind, mode, access, where;
        long pid = 0;
        if (fields >> number >> kind >> mode >> access >> pid >> where && where == node && pid > 0 &&
            ::access(("/proc/" + std::to_string(pid)).c_str(), F_OK) == 0)
            pids.insert(static_cast<int>(pid));
    }

    // Without a lock, the line is in exclusive mode: every process that has it
    // open, as far as this one may look into them. (With a lock, those are
    // left out: the other end of a pseudo-terminal, say, has it open too.)
    std::error_code error;
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        if (!pids.empty()) break;
        const std::string name = process.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        std::error_code fdError;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", fdError)) {
            struct stat held {};
            if (::stat(fd.path().c_str(), &held) != 0) continue;
            const bool same = S_ISCHR(target.st_mode) ? S_ISCHR(held.st_mode) && held.st_rdev == target.st_rdev
                                                      : held.st_dev == target.st_dev && held.st_ino == target.st_ino;
            if (same) {
                pids.insert(std::stoi(name));
                break;
            }
        }
    }

    std::vector<std::string> holders;
    holders.reserve(pids.size());
    for (const int pid : pids) holders.push_back(ProcessName(pid) + " (process " + std::to_string(pid) + ")");
    return holders;
}

std::string OpenFailureAdvice(const std::string& path, int systemError)
{
    std::vector<PortRecord> present;
    if (systemError == ENOENT || systemError == ENXIO || systemError == ENODEV || systemError == EIO)
        present = PresentPorts();
    return OpenFailureAdvice(path, systemError, present);
}

std::string OpenFailureAdvice(const std::string& path, int systemError, const std::vector<PortRecord>& present)
{
    std::string advice = "Port: " + path;
    if (systemError == 0) return advice;
    advice += "\nReason: " + ReasonOf(systemError) + ".";
    std::string what;
    switch (systemError) {
    case EACCES:
    case EPERM: what = PermissionAdvice(path); break;
    case EBUSY:
    case EWOULDBLOCK: {
        const std::vector<std::string> holders = PortHolders(path);
        if (holders.empty()) {
            what = "Another program has the port open (which one could not be found out).";
        } else {
            what = "Another program has the port open: ";
            for (size_t i = 0; i < holders.size(); ++i) what += (i ? ", " : "") + holders[i];
            what += ".";
        }
        what += "\nClose it there, then try again.";
        break;
    }
    case ENOENT:
        what =
            "This port does not exist on this computer. Is the adapter plugged in?\n" + PresentPortLines(present, path);
        break;
    case ENXIO:
    case ENODEV:
    case EIO: what = "No serial device answers behind this name.\n" + PresentPortLines(present, path); break;
    case ENOTTY: what = "This is not a serial port."; break;
    default: break;
    }
    if (!what.empty()) advice += "\n" + what;
    return advice;
}

#endif

}  // namespace ortiva

#include "port_catalog.h"

#include <QSerialPortInfo>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return found->pw_name;
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

std::string ProcessName(int pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "a program" : name;
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

std::vector<PortRecord> PresentPorts()
{
    // udev's stable names: each link under by-id points at its device node.
    std::map<std::string, std::string> byId;
    std::error_code error;
    std::vector<std::filesystem::path> links;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/serial/by-id", error)) links.push_back(entry.path());
    std::sort(links.begin(), links.end());
    for (const auto& link : links) {
        const auto target = std::filesystem::canonical(link, error);
        if (!error) byId.emplace(target.string(), link.string());
    }

    std::vector<PortRecord> records;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortRecord record;
        record.path = info.systemLocation().toStdString();
        record.description = info.description().toStdString();
        record.manufacturer = info.manufacturer().toStdString();
        record.serialNumber = info.serialNumber().toStdString();
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
        if (fields >> number >> kind >> mode >> access >> pid >> where && where == node && pid > 0)
            pids.insert(static_cast<int>(pid));
    }

    // Open descriptors on the same device, in the processes this one may look into.
    std::error_code error;
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = process.path().filename().string();
        if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        std::error_code fdError;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", fdError)) {
            struct stat held {};
            if (::stat(fd.path().c_str(), &held) != 0) continue;
            const bool same = S_ISCHR(target.st_mode)
                                  ? S_ISCHR(held.st_mode) && held.st_rdev == target.st_rdev
                                  : held.st_dev == target.st_dev && held.st_ino == target.st_ino;
            if (same) {
                pids.insert(std::stoi(name));
                break;
            }
        }
    }

    std::vector<std::string> holders;
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
    case EPERM:
        what = PermissionAdvice(path);
        break;
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
        what = "This port does not exist on this computer. Is the adapter plugged in?\n" +
               PresentPortLines(present, path);
        break;
    case ENXIO:
    case ENODEV:
    case EIO:
        what = "No serial device answers behind this name.\n" + PresentPortLines(present, path);
        break;
    case ENOTTY:
        what = "This is not a serial port.";
        break;
    default:
        break;
    }
    if (!what.empty()) advice += "\n" + what;
    return advice;
}

}  // namespace ortiva

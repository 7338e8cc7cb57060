#include "port_watch.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

namespace ortiva {

namespace {

constexpr QLatin1String kById("/dev/serial/by-id");

}  // namespace

PortWatch::PortWatch(QObject* parent)
    : QObject(parent), watcher_(new QFileSystemWatcher(this)), fallback_(new QTimer(this))
{
    fallback_->setInterval(1000);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &PortWatch::Check);
    connect(fallback_, &QTimer::timeout, this, &PortWatch::Check);
}

QString PortWatch::ByIdNameOf(const QString& path)
{
    const QString device = QFileInfo(path).canonicalFilePath();
    if (device.isEmpty()) return {};
    const QDir dir(kById);
    for (const QFileInfo& link : dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        if (link.isSymLink() && link.canonicalFilePath() == device) return link.absoluteFilePath();
    }
    return {};
}

void PortWatch::Watch(const QString& path, const QString& byId)
{
    Stop();
    path_ = path;
    byId_ = byId;
    // Nodes come and go in /dev, adapters' stable names in by-id; a link such
    // as a simulator's is made again in its own folder.
    QStringList folders{QStringLiteral("/dev"), QFileInfo(path).absolutePath()};
    if (QFileInfo(kById).isDir()) folders << kById;
    folders.removeDuplicates();
    for (const QString& folder : folders) {
        if (QFileInfo(folder).isDir()) watcher_->addPath(folder);
    }
    if (watcher_->directories().isEmpty()) fallback_->start();
}

void PortWatch::Stop()
{
    fallback_->stop();
    if (!watcher_->directories().isEmpty()) watcher_->removePaths(watcher_->directories());
    path_.clear();
    byId_.clear();
}

void PortWatch::Check()
{
    if (path_.isEmpty()) return;
    // /dev/serial appears with the first USB adapter plugged in.
    if (QFileInfo(kById).isDir() && !watcher_->directories().contains(kById)) watcher_->addPath(kById);
    QString found;
    if (!byId_.isEmpty() && QFileInfo::exists(byId_)) {
        found = QFileInfo(byId_).canonicalFilePath();
    } else if (QFileInfo::exists(path_)) {
        found = path_;
    }
    if (found.isEmpty()) return;
    Stop();
    emit Back(found);
}

}  // namespace ortiva

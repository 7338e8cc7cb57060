// Watches for a serial device that went away (adapter pulled, simulator
// ended) to come back: the same /dev/serial/by-id name where the device had
// one, else the same path. It waits on the file system (inotify through
// QFileSystemWatcher on /dev, /dev/serial/by-id and the folder of the path),
// so it costs nothing while nothing changes; only where no folder can be
// watched does it look once a second.
#pragma once

#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QTimer;

namespace ortiva {

class PortWatch : public QObject {
    Q_OBJECT
public:
    explicit PortWatch(QObject* parent = nullptr);

    // Watches for `path` (a device path or a link to one) to come back;
    // `byId`, when not empty, is the /dev/serial/by-id link it had, which
    // finds the device under whatever node it gets next time.
    void Watch(const QString& path, const QString& byId);
    void Stop();
    bool Watching() const { return !path_.isEmpty(); }

    // The /dev/serial/by-id link that leads to `path` now ("" for none).
    static QString ByIdNameOf(const QString& path);

signals:
    // The device is there again, at `path` (the node to open now).
    void Back(const QString& path);

private:
    void Check();

    QFileSystemWatcher* watcher_;
    QTimer* fallback_;
    QString path_;
    QString byId_;
};

}  // namespace ortiva

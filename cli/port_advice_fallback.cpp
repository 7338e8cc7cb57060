// Stand-in for the shared port catalogue while this tree does not have it:
// the /dev paths of serial devices, and the component's text alone.
#include <QDir>

#include "port_advice.h"

namespace ortiva::cli {

std::vector<PresentPort> ListPorts()
{
    std::vector<PresentPort> out;
    const QStringList names = QDir(QStringLiteral("/dev")).entryList(
        {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"), QStringLiteral("ttyS*")}, QDir::System, QDir::Name);
    for (const QString& n : names) {
        PresentPort p;
        p.path = ("/dev/" + n).toStdString();
        p.text = p.path;
        out.push_back(p);
    }
    return out;
}

std::string PortErrorText(const std::string& port, const std::string& path, const ECommsError& error)
{
    return port + ": " + error.what() + "\n(tried " + path + ")";
}

}  // namespace ortiva::cli

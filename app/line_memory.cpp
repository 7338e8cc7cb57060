#include "line_memory.h"

#include <QSettings>

namespace ortiva {

namespace {

constexpr QLatin1String kOrganization("Ortiva");
constexpr QLatin1String kApplication("Ortiva Parameter Configuration");

}  // namespace

std::optional<RememberedLine> LoadRememberedLine()
{
    QSettings s(kOrganization, kApplication);
    if (!s.contains(QStringLiteral("line/port"))) return std::nullopt;
    RememberedLine line;
    line.port = s.value(QStringLiteral("line/port")).toString();
    line.baud = s.value(QStringLiteral("line/baud")).toString();
    line.parity = s.value(QStringLiteral("line/parity")).toString();
    line.rts = s.value(QStringLiteral("line/rts"), false).toBool();
    line.dtr = s.value(QStringLiteral("line/dtr"), false).toBool();
    return line;
}

void SaveRememberedLine(const RememberedLine& line)
{
    QSettings s(kOrganization, kApplication);
    s.setValue(QStringLiteral("line/port"), line.port);
    s.setValue(QStringLiteral("line/baud"), line.baud);
    s.setValue(QStringLiteral("line/parity"), line.parity);
    s.setValue(QStringLiteral("line/rts"), line.rts);
    s.setValue(QStringLiteral("line/dtr"), line.dtr);
}

bool ReopenAutomatically()
{
    QSettings s(kOrganization, kApplication);
    return s.value(QStringLiteral("line/reopen_automatically"), false).toBool();
}

void SetReopenAutomatically(bool on)
{
    QSettings s(kOrganization, kApplication);
    s.setValue(QStringLiteral("line/reopen_automatically"), on);
}

}  // namespace ortiva

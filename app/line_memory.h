// What the window remembers of the line between starts: the port as typed or
// chosen, the PC's baud rate and parity, and the COM_RTS and COM_DTR boxes of
// an RS485 adapter; and whether a port that comes back after it was lost is
// opened again without asking. Kept with QSettings in the desktop's usual
// place. Nothing remembered: the window's own defaults stand.
#pragma once

#include <QString>

#include <optional>

namespace ortiva {

struct RememberedLine {
    QString port;
    QString baud;
    QString parity;
    bool rts = false;
    bool dtr = false;
};

// The line of the last successful opening; nullopt before the first.
std::optional<RememberedLine> LoadRememberedLine();
void SaveRememberedLine(const RememberedLine& line);

bool ReopenAutomatically();
void SetReopenAutomatically(bool on);

}  // namespace ortiva

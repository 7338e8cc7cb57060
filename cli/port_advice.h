// The serial ports present, and what to say when one does not open: the
// same enumeration and explanations as the window's.
#pragma once

#include <string>
#include <vector>

#include "comm_types.h"

namespace ortiva::cli {

struct PresentPort {
    std::string path, description, manufacturer, serialNumber, byIdPath;
    std::string text, toolTip;  // as the window's port list shows it
};
std::vector<PresentPort> ListPorts();

// "<port>: <the component's text>" and the explanation for the failure.
std::string PortErrorText(const std::string& port, const std::string& path, const ECommsError& error);

}  // namespace ortiva::cli

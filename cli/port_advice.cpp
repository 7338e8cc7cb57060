#include "port_advice.h"

#include "port_catalog.h"

namespace ortiva::cli {

std::vector<PresentPort> ListPorts()
{
    const std::vector<PortRecord> records = PresentPorts();
    const std::vector<PortItem> items = PortListItems(records);
    std::vector<PresentPort> out;
    for (size_t i = 0; i < records.size(); ++i) {
        const PortRecord& r = records[i];
        PresentPort p{r.path, r.description, r.manufacturer, r.serialNumber, r.byIdPath, {}, {}};
        if (i < items.size()) {
            p.text = items[i].text;
            p.toolTip = items[i].toolTip;
        }
        out.push_back(std::move(p));
    }
    return out;
}

std::string PortErrorText(const std::string& port, const std::string& path, const ECommsError& error)
{
    std::string text = port + ": " + error.what();
    const std::string advice = OpenFailureAdvice(path, error.SystemError());
    if (!advice.empty()) text += "\n" + advice;
    return text;
}

}  // namespace ortiva::cli

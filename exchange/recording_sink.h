// A FieldSink backed by maps: keeps every write in order and the resulting
// state. Tests and fuzz targets check decoders with it; ortiva-cli keeps what
// the HART decoders write in it.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "field_sink.h"

namespace ortiva {

class RecordingSink : public FieldSink {
public:
    // One write, as "SetIndex ComboBox2 3", "SetText Edit14 001",
    // "SetChecked ONECHECK01 1", "SetVisible Label3 0".
    std::vector<std::string> writes;
    std::map<std::string, int, std::less<>> index;
    std::map<std::string, std::string, std::less<>> text;
    std::map<std::string, bool, std::less<>> checked;
    std::map<std::string, bool, std::less<>> visible;
    // Item counts of lists; an index outside a known list leaves it at -1.
    std::map<std::string, int, std::less<>> listSizes;

    void SetIndex(std::string_view control, int i) override
    {
        writes.push_back("SetIndex " + std::string(control) + " " + std::to_string(i));
        const auto size = listSizes.find(control);
        const bool outside = i < 0 || (size != listSizes.end() && i >= size->second);
        index[std::string(control)] = outside ? -1 : i;
    }
    void SetText(std::string_view control, const std::string& t) override
    {
        writes.push_back("SetText " + std::string(control) + " " + t);
        text[std::string(control)] = t;
    }
    void SetChecked(std::string_view control, bool c) override
    {
        writes.push_back("SetChecked " + std::string(control) + (c ? " 1" : " 0"));
        checked[std::string(control)] = c;
    }
    void SetVisible(std::string_view control, bool v) override
    {
        writes.push_back("SetVisible " + std::string(control) + (v ? " 1" : " 0"));
        visible[std::string(control)] = v;
    }
    int Index(std::string_view control) const override
    {
        const auto it = index.find(control);
        return it == index.end() ? -1 : it->second;
    }
};

}  // namespace ortiva

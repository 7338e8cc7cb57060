// Where decoders put what they read from a reply.
//
// Decoders are written against this interface so they stay free of widgets:
// the main window implements it over its controls (found by their design
// names), tests record the writes. Writes are applied at once and in order,
// so a conversion error part-way leaves the earlier fields applied.
#pragma once

#include <string>
#include <string_view>

namespace ortiva {

class FieldSink {
public:
    virtual ~FieldSink() = default;
    // Select an item of a drop-down list; an index outside the list leaves it
    // with no selection and empty text.
    virtual void SetIndex(std::string_view control, int index) = 0;
    // Replace an edit's text (or a label's caption). One character per byte.
    virtual void SetText(std::string_view control, const std::string& text) = 0;
    virtual void SetChecked(std::string_view control, bool checked) = 0;
    virtual void SetVisible(std::string_view control, bool visible) = 0;
    // The selected item of a drop-down list, -1 for none.
    virtual int Index(std::string_view control) const = 0;
};

}  // namespace ortiva

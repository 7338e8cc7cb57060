// Decoders write the window's controls through this FieldSink, by design name.
//
// Lists: an index outside the list leaves no selection and an empty text.
// Edits and labels: one character per byte. Programmatic changes fire the
// controls' own change signals (so Edit18 follows Edit14) but never the
// handlers wired to the operator's choices in lists.
#pragma once

#include "field_sink.h"

#include <QHash>
#include <QString>

#include <string>

class QComboBox;
class QWidget;

namespace ortiva {

// What the window shows and sends is one character per byte.
QString TextOfBytes(const std::string& bytes);
std::string BytesOfText(const QString& text);

class FormFields : public FieldSink {
public:
    // `form` is searched for children by objectName (once, at the first use).
    explicit FormFields(QWidget* form);

    void SetIndex(std::string_view control, int index) override;
    void SetText(std::string_view control, const std::string& text) override;
    void SetChecked(std::string_view control, bool checked) override;
    void SetVisible(std::string_view control, bool visible) override;
    int Index(std::string_view control) const override;

    // The text a control shows, one byte per character ("" for unknown kinds).
    std::string Text(std::string_view control) const;

    // The control by design name; std::invalid_argument for an unknown name
    // (a decoder writing a control that does not exist is a programming error).
    QWidget* Control(std::string_view control) const;

private:
    QWidget* form_;
    mutable QHash<QString, QWidget*> controls_;
};

// Selects an item of a list; an index outside the list leaves it with no
// selection and an empty text (also for editable lists).
void SelectIndex(QComboBox* box, int index);

}  // namespace ortiva

#include "form_fields.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

#include <stdexcept>

namespace ortiva {

QString TextOfBytes(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string BytesOfText(const QString& text) { return text.toLatin1().toStdString(); }

void SelectIndex(QComboBox* box, int index)
{
    if (index >= 0 && index < box->count()) {
        box->setCurrentIndex(index);
        return;
    }
    box->setCurrentIndex(-1);
    if (box->isEditable()) box->setEditText(QString());
}

FormFields::FormFields(QWidget* form) : form_(form) {}

QWidget* FormFields::Control(std::string_view control) const
{
    const QString name = QString::fromLatin1(control.data(), static_cast<qsizetype>(control.size()));
    if (controls_.isEmpty()) {
        for (QWidget* w : form_->findChildren<QWidget*>()) {
            if (!w->objectName().isEmpty() && !controls_.contains(w->objectName()))
                controls_.insert(w->objectName(), w);
        }
    }
    QWidget* w = controls_.value(name);
    if (!w) throw std::invalid_argument("no control named " + std::string(control));
    return w;
}

void FormFields::SetIndex(std::string_view control, int index)
{
    auto* box = qobject_cast<QComboBox*>(Control(control));
    if (!box) throw std::invalid_argument(std::string(control) + " is not a list");
    SelectIndex(box, index);
}

void FormFields::SetText(std::string_view control, const std::string& text)
{
    QWidget* w = Control(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(TextOfBytes(text));
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(TextOfBytes(text));
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
        memo->setPlainText(TextOfBytes(text));
    else if (auto* box = qobject_cast<QComboBox*>(w); box && box->isEditable())
        box->setEditText(TextOfBytes(text));
    else
        throw std::invalid_argument(std::string(control) + " has no text");
}

void FormFields::SetChecked(std::string_view control, bool checked)
{
    auto* button = qobject_cast<QAbstractButton*>(Control(control));
    if (!button || !button->isCheckable()) throw std::invalid_argument(std::string(control) + " is not a check box");
    button->setChecked(checked);
}

void FormFields::SetVisible(std::string_view control, bool visible) { Control(control)->setVisible(visible); }

int FormFields::Index(std::string_view control) const
{
    auto* box = qobject_cast<QComboBox*>(Control(control));
    if (!box) throw std::invalid_argument(std::string(control) + " is not a list");
    return box->currentIndex();
}

std::string FormFields::Text(std::string_view control) const
{
    QWidget* w = Control(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return BytesOfText(edit->text());
    if (auto* label = qobject_cast<QLabel*>(w)) return BytesOfText(label->text());
    if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) return BytesOfText(memo->toPlainText());
    if (auto* box = qobject_cast<QComboBox*>(w)) return BytesOfText(box->currentText());
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return BytesOfText(button->text());
    return {};
}

}  // namespace ortiva

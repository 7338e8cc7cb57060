// Small helpers the pages use to create their controls: each control gets its
// design name as objectName, its caption or items, its default, and a width
// measured in characters of the window's font (so layouts follow the font).
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTabWidget>

#include <functional>
#include <initializer_list>
#include <span>

// Passes a member and its design name: Button(DESIGN(Button5), parent, "Set").
#define DESIGN(member) member, #member

namespace ortiva::build {

// A label whose only use is its double click; it shows nothing.
class DoubleClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

QLabel* Label(QLabel*& slot, const char* name, QWidget* parent, const QString& text);
// chars: width in digits of the font; 0 lets the edit grow with the layout.
QLineEdit* Edit(QLineEdit*& slot, const char* name, QWidget* parent, const QString& text, int chars);
// A typable list that runs a function each time its list is about to open
// (to bring its items up to date).
class RefreshingList : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    std::function<void()> beforeOpening;
    void showPopup() override;
};

// A drop-down pick list. chars: the width in characters, 0 for the width of
// the longest item (the open list always shows whole items).
QComboBox* List(QComboBox*& slot, const char* name, QWidget* parent, const QStringList& items, int index, int chars);
// A drop-down list whose text the operator may also type. Typed text leaves
// the list with no item selected; Enter never adds an item.
QComboBox* TypableList(QComboBox*& slot, const char* name, QWidget* parent, const QStringList& items, int index,
                       int chars);
// A typable list as above whose items are refreshed each time it opens.
RefreshingList* TypableRefreshingList(QComboBox*& slot, const char* name, QWidget* parent, const QStringList& items,
                                      int index, int chars);
QPushButton* Button(QPushButton*& slot, const char* name, QWidget* parent, const QString& text);
QCheckBox* Check(QCheckBox*& slot, const char* name, QWidget* parent, const QString& text);
// A page of the page control, added after the pages it already has.
QWidget* Page(QWidget*& slot, const char* name, QTabWidget* pages, const QString& caption);
QGroupBox* Group(QGroupBox*& slot, const char* name, QWidget* parent, const QString& title);

// Items given as ASCII or UTF-8 literals.
QStringList Items(std::initializer_list<const char*> items);
QStringList Items(std::span<const char* const> items);
QStringList Numbers(int first, int last);

// The label names the control for keyboard users and screen readers.
void Buddy(QLabel* label, QWidget* control);

// A grid with the compact margins every group uses.
QGridLayout* Grid(QWidget* owner);

// A row of a group: its fields from the left, then a stretch, then its Set
// button at the right end. SetRow gives a group its grid with one such row.
void AddSetRow(QGridLayout* grid, int row, std::initializer_list<QWidget*> fields, QPushButton* set);
QGridLayout* SetRow(QWidget* group, std::initializer_list<QWidget*> fields, QPushButton* set);

// Gives the widgets the width of the widest, so columns line up across groups.
void SameWidth(std::initializer_list<QWidget*> widgets);

// Sets the keyboard focus order of every control under root to reading
// order: the order in which its layouts place them, each box layout from its
// start to its end, each grid row by row, a group's contents where the group
// is, a page control's pages one after the other where the page control is,
// and a scroll area's contents where the scroll area is.
void ApplyReadingTabOrder(QWidget* root);

// A description for screen readers of a button whose caption alone ("Set")
// does not say what it sets.
void Describe(QWidget* w, const QString& what);

}  // namespace ortiva::build

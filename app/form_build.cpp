#include "form_build.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollArea>

#include <algorithm>
#include <tuple>
#include <vector>

namespace ortiva::build {

void DoubleClickLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    QLabel::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

namespace {
int CharsWidth(const QWidget* w, int chars)
{
    return w->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0')));
}
}  // namespace

QLabel* Label(QLabel*& slot, const char* name, QWidget* parent, const QString& text)
{
    slot = new QLabel(text, parent);
    slot->setObjectName(QString::fromLatin1(name));
    slot->setTextFormat(Qt::PlainText);  // texts from replies are shown as they are
    return slot;
}

QLineEdit* Edit(QLineEdit*& slot, const char* name, QWidget* parent, const QString& text, int chars)
{
    slot = new QLineEdit(text, parent);
    slot->setObjectName(QString::fromLatin1(name));
    if (chars > 0) {
        // Room for the characters plus the frame and text margins.
        slot->setFixedWidth(CharsWidth(slot, chars) + 14);
    }
    return slot;
}

void RefreshingList::showPopup()
{
    if (beforeOpening) beforeOpening();
    QComboBox::showPopup();
}

namespace {
void SetUpList(QComboBox*& slot, const char* name, const QStringList& items, int index, int chars);
void MakeTypable(QComboBox* box, int index);
}  // namespace

QComboBox* List(QComboBox*& slot, const char* name, QWidget* parent, const QStringList& items, int index, int chars)
{
    slot = new QComboBox(parent);
    SetUpList(slot, name, items, index, chars);
    return slot;
}

QComboBox* TypableList(QComboBox*& slot, const char* name, QWidget* parent, const QStringList& items, int index,
                       int chars)
{
    List(slot, name, parent, items, index, chars);
    MakeTypable(slot, index);
    return slot;
}

RefreshingList* TypableRefreshingList(QComboBox*& slot, const char* name, QWidget* parent, const QStringList& items,
                                      int index, int chars)
{
    auto* box = new RefreshingList(parent);
    slot = box;
    SetUpList(slot, name, items, index, chars);
    MakeTypable(slot, index);
    return box;
}

namespace {
void SetUpList(QComboBox*& slot, const char* name, const QStringList& items, int index, int chars)
{
    slot->setObjectName(QString::fromLatin1(name));
    slot->addItems(items);
    slot->setCurrentIndex(index);
    if (chars > 0) {
        slot->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        slot->setMinimumContentsLength(chars);
    } else {
        slot->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    slot->setMaxVisibleItems(20);
    // The open list shows whole items even when the box is narrower.
    int widest = 0;
    for (const QString& item : items) widest = std::max(widest, slot->fontMetrics().horizontalAdvance(item));
    slot->view()->setMinimumWidth(widest + 30);
}

void MakeTypable(QComboBox* box, int index)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);  // what is typed is what counts
    box->setCurrentIndex(index);
    QObject::connect(box->lineEdit(), &QLineEdit::textEdited, box, [box](const QString& text) {
        if (box->currentIndex() < 0) return;
        const int cursor = box->lineEdit()->cursorPosition();
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(-1);
        box->setEditText(text);
        box->lineEdit()->setCursorPosition(cursor);
    });
}
}  // namespace

QPushButton* Button(QPushButton*& slot, const char* name, QWidget* parent, const QString& text)
{
    slot = new QPushButton(text, parent);
    slot->setObjectName(QString::fromLatin1(name));
    slot->setAutoDefault(false);
    // The style's preferred width when there is room, the caption's when not.
    slot->setMinimumWidth(std::max(44, slot->fontMetrics().horizontalAdvance(text) + 20));
    return slot;
}

QCheckBox* Check(QCheckBox*& slot, const char* name, QWidget* parent, const QString& text)
{
    slot = new QCheckBox(text, parent);
    slot->setObjectName(QString::fromLatin1(name));
    return slot;
}

QGroupBox* Group(QGroupBox*& slot, const char* name, QWidget* parent, const QString& title)
{
    slot = new QGroupBox(title, parent);
    slot->setObjectName(QString::fromLatin1(name));
    return slot;
}

QStringList Items(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* item : items) out << QString::fromUtf8(item);
    return out;
}

QStringList Items(std::span<const char* const> items)
{
    QStringList out;
    for (const char* item : items) out << QString::fromUtf8(item);
    return out;
}

QStringList Numbers(int first, int last)
{
    QStringList out;
    for (int i = first; i <= last; ++i) out << QString::number(i);
    return out;
}

void Buddy(QLabel* label, QWidget* control)
{
    label->setBuddy(control);
    if (control->accessibleName().isEmpty()) control->setAccessibleName(label->text().trimmed());
}

QGridLayout* Grid(QWidget* owner)
{
    auto* grid = new QGridLayout(owner);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    return grid;
}

void SameWidth(std::initializer_list<QWidget*> widgets)
{
    int widest = 0;
    // An explicit minimum (buttons have one) counts, else what the widget needs.
    for (QWidget* w : widgets)
        widest = std::max(widest, w->minimumWidth() > 0 ? w->minimumWidth() : w->minimumSizeHint().width());
    for (QWidget* w : widgets) w->setMinimumWidth(widest);
}

namespace {
void CollectInReadingOrder(QLayout* layout, std::vector<QWidget*>& order);

void CollectWidget(QWidget* w, std::vector<QWidget*>& order)
{
    order.push_back(w);
    if (auto* pages = qobject_cast<QTabWidget*>(w)) {
        for (int i = 0; i < pages->count(); ++i)
            if (pages->widget(i)->layout()) CollectInReadingOrder(pages->widget(i)->layout(), order);
    } else if (auto* scroll = qobject_cast<QScrollArea*>(w)) {
        if (scroll->widget() && scroll->widget()->layout()) CollectInReadingOrder(scroll->widget()->layout(), order);
    } else if (qobject_cast<QGroupBox*>(w) && w->layout()) {
        CollectInReadingOrder(w->layout(), order);
    }
}

void CollectInReadingOrder(QLayout* layout, std::vector<QWidget*>& order)
{
    std::vector<std::tuple<int, int, QLayoutItem*>> items;
    auto* grid = qobject_cast<QGridLayout*>(layout);
    for (int i = 0; i < layout->count(); ++i) {
        int row = 0;
        int column = i;
        if (grid) {
            int rowSpan = 0;
            int columnSpan = 0;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        }
        items.emplace_back(row, column, layout->itemAt(i));
    }
    std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
        return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
    });
    for (const auto& [row, column, item] : items) {
        if (QWidget* w = item->widget())
            CollectWidget(w, order);
        else if (QLayout* inner = item->layout())
            CollectInReadingOrder(inner, order);
    }
}
}  // namespace

void ApplyReadingTabOrder(QWidget* root)
{
    std::vector<QWidget*> order;
    if (root->layout()) CollectInReadingOrder(root->layout(), order);
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (!(w->focusPolicy() & Qt::TabFocus)) continue;
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

void Describe(QWidget* w, const QString& what) { w->setAccessibleDescription(what); }

void AddSetRow(QGridLayout* grid, int row, std::initializer_list<QWidget*> fields, QPushButton* set)
{
    int column = 0;
    for (QWidget* w : fields) grid->addWidget(w, row, column++);
    grid->setColumnStretch(column, 1);
    grid->addWidget(set, row, column + 1);
}

QGridLayout* SetRow(QWidget* group, std::initializer_list<QWidget*> fields, QPushButton* set)
{
    QGridLayout* g = Grid(group);
    AddSetRow(g, 0, fields, set);
    return g;
}

QWidget* Page(QWidget*& slot, const char* name, QTabWidget* pages, const QString& caption)
{
    slot = new QWidget;
    slot->setObjectName(QString::fromLatin1(name));
    pages->addTab(slot, caption);
    return slot;
}

}  // namespace ortiva::build

#include "gui/settings/PageRows.h"

#include "gui/dialogs/DialogLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace {

// A group's title takes the top of its frame; its rows start below it and end above its bottom.
constexpr int kGroupInset = 7;
constexpr int kGroupTitle = 15;
constexpr int kGroupBottom = 5;
constexpr int kTextLine = 9;

} // namespace

PageRows::PageRows(DialogBuilder& builder, int left, int top, int width)
    : m_b(builder), m_left(left), m_right(left + width), m_x(left), m_y(top) {}

int PageRows::Take(int width, int* taken) {
    const int x = m_x;
    *taken = width > 0 ? width : std::max(0, m_right - x);
    m_x = x + *taken + kGap;
    return x;
}

void PageRows::Placed(QWidget* control, int height) {
    m_rowHeight = std::max(m_rowHeight, height);
    if (m_label && control->focusPolicy() != Qt::NoFocus)
        m_label->setBuddy(control);
    m_label = nullptr;
}

QLabel* PageRows::Label(int id, const QString& text, int width) {
    int w = 0;
    const int x = Take(width, &w);
    QLabel* label = m_b.Static(id, text, x, m_y, w, kRowHeight);
    label->setWordWrap(false);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_rowHeight = std::max(m_rowHeight, kRowHeight);
    m_label = label;
    return label;
}

QLineEdit* PageRows::Edit(int id, int width) {
    int w = 0;
    const int x = Take(width, &w);
    QLineEdit* edit = m_b.Edit(id, x, m_y, w, kRowHeight);
    Placed(edit, kRowHeight);
    return edit;
}

QComboBox* PageRows::DropDown(int id, int width) {
    int w = 0;
    const int x = Take(width, &w);
    QComboBox* box = m_b.DropDown(id, x, m_y, w, kRowHeight);
    Placed(box, kRowHeight);
    return box;
}

QCheckBox* PageRows::CheckBox(int id, const QString& text, int width) {
    int w = 0;
    const int x = Take(width, &w);
    QCheckBox* box = m_b.CheckBox(id, text, x, m_y, w, kRowHeight);
    Placed(box, kRowHeight);
    return box;
}

QPushButton* PageRows::Button(int id, const QString& text, int width) {
    int w = 0;
    const int x = Take(width, &w);
    QPushButton* button = m_b.Button(id, text, x, m_y, w, kRowHeight + 2);
    Placed(button, kRowHeight + 2);
    return button;
}

void PageRows::Put(int id, QWidget* control, int width, int height) {
    int w = 0;
    const int x = Take(width, &w);
    if (id != NoId)
        control->setObjectName(ControlName(id));
    // Like the template's own controls, one that needs more height grows about its centre line.
    const int h = m_b.Y(height);
    const int needed = std::max(h, control->minimumSizeHint().height());
    control->setGeometry(m_b.X(x), m_b.Y(m_y) - (needed - h) / 2, m_b.X(w), needed);
    Placed(control, height);
}

QLabel* PageRows::Text(int id, const QString& text, int lines) {
    if (m_x != m_left)
        NextRow();
    const int height = lines * kTextLine;
    QLabel* label = m_b.Static(id, text, m_left, m_y, m_right - m_left, height);
    m_rowHeight = height;
    m_label = nullptr;
    NextRow();
    return label;
}

int PageRows::RestOfRow(int reserve) const {
    return std::max(0, m_right - m_x - reserve - kGap);
}

void PageRows::AlignRight(int width) {
    m_x = std::max(m_x, m_right - width);
}

void PageRows::NextRow() {
    if (m_rowHeight > 0)
        m_y += m_rowHeight + kRowGap;
    m_rowHeight = 0;
    m_x = m_left;
    m_label = nullptr;
}

void PageRows::BeginGroup(int id, const QString& title) {
    NextRow();
    m_groups.push_back({m_b.Group(id, title, m_left, m_y, m_right - m_left, 0), m_y});
    m_left += kGroupInset;
    m_right -= kGroupInset;
    m_x = m_left;
    m_y += kGroupTitle;
}

void PageRows::EndGroup() {
    NextRow();
    m_left -= kGroupInset;
    m_right += kGroupInset;
    m_x = m_left;
    const int bottom = m_y - kRowGap + kGroupBottom;
    const OpenGroup group = m_groups.back();
    m_groups.pop_back();
    group.box->setGeometry(m_b.X(m_left), m_b.Y(group.top), m_b.X(m_right - m_left),
                           m_b.Y(bottom - group.top));
    m_y = bottom + kRowGap + 2;
}

#include "gui/dialogs/DialogLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QString ControlName(int id) {
    return QString::number(id);
}

QPixmap DialogPicture(int id) {
    return IconPixmap(QIcon(QStringLiteral(":/dialogs/%1.svg").arg(id)));
}

QPixmap IconPixmap(const QIcon& icon) {
    return icon.pixmap(DialogBuilder::IconSize, DialogBuilder::IconSize);
}

QFont DialogFont() {
    return QFont(QStringLiteral("MS UI Gothic"), 9);
}

DialogBuilder::DialogBuilder(QWidget* dialog, int templateId, int width, int height) : m_dialog(dialog) {
    dialog->setObjectName(ControlName(templateId));
    dialog->setFont(DialogFont());
    // The base units of the font, measured the way Windows measures a dialog font.
    const QFontMetrics metrics(dialog->font());
    const int alphabet =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (alphabet / 26 + 1) / 2;
    m_baseY = metrics.height();
    dialog->setFixedSize(X(width), Y(height));
}

int DialogBuilder::X(int units) const {
    return (units * m_baseX + 2) / 4;
}

int DialogBuilder::Y(int units) const {
    return (units * m_baseY + 4) / 8;
}

template <class W> W* DialogBuilder::Place(W* widget, int id, int x, int y, int w, int h) {
    if (id != NoId)
        widget->setObjectName(ControlName(id));
    widget->setGeometry(X(x), Y(y), X(w), Y(h));
    return widget;
}

template <class W> W* DialogBuilder::PlaceControl(W* widget, int id, int x, int y, int w, int h) {
    Place(widget, id, x, y, w, h);
    // Qt's controls need more height than Windows' ones at the same font; they grow about their
    // centre line so that rows stay where the template puts them.
    const int needed = widget->sizeHint().height();
    const QRect r = widget->geometry();
    if (needed > r.height())
        widget->setGeometry(r.x(), r.y() - (needed - r.height()) / 2, r.width(), needed);
    return widget;
}

QPushButton* DialogBuilder::Button(int id, const QString& text, int x, int y, int w, int h, bool isDefault) {
    auto* button = PlaceControl(new QPushButton(text, m_dialog), id, x, y, w, h);
    button->setDefault(isDefault);
    return button;
}

QLabel* DialogBuilder::Static(int id, const QString& text, int x, int y, int w, int h, bool centred) {
    auto* label = Place(new QLabel(text, m_dialog), id, x, y, w, h);
    // Names from the server and from disk are shown as they are, never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    return label;
}

QLabel* DialogBuilder::Icon(int id, int x, int y) {
    auto* label = Place(new QLabel(m_dialog), id, x, y, 0, 0);
    label->resize(IconSize, IconSize);
    return label;
}

QCheckBox* DialogBuilder::CheckBox(int id, const QString& text, int x, int y, int w, int h) {
    return PlaceControl(new QCheckBox(text, m_dialog), id, x, y, w, h);
}

QLineEdit* DialogBuilder::Edit(int id, int x, int y, int w, int h) {
    return PlaceControl(new QLineEdit(m_dialog), id, x, y, w, h);
}

QGroupBox* DialogBuilder::Group(int id, const QString& text, int x, int y, int w, int h) {
    return Place(new QGroupBox(text, m_dialog), id, x, y, w, h);
}

QComboBox* DialogBuilder::DropDown(int id, int x, int y, int w, int h) {
    return PlaceControl(new QComboBox(m_dialog), id, x, y, w, h);
}

#include "gui/settings/CColorButton.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

CColorButton::CColorButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}

void CColorButton::SetColor(const QColor& colour) {
    m_colour = colour;
    update();
}

void CColorButton::paintEvent(QPaintEvent*) {
    // The button draws as usual with its text moved right, and the swatch sits at its left end.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    const QRect inside = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const int edge = qMax(6, inside.height() - 4);
    const QRect swatch(inside.left() + 2, inside.center().y() - edge / 2, edge, edge);
    painter.fillRect(swatch, m_colour);
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    option.rect = inside.adjusted(swatch.width() + 4, 0, 0, 0);
    painter.drawControl(QStyle::CE_PushButtonLabel, option);
}

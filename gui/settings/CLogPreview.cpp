#include "gui/settings/CLogPreview.h"

#include <QPainter>

const char* const CLogPreview::kSample = "ログウインドウのフォントとカラーの設定をします。";

CLogPreview::CLogPreview(QWidget* parent) : QWidget(parent) {}

void CLogPreview::SetLook(const QFont& font, const QColor& text, const QColor& background) {
    m_font = font;
    m_text = text;
    m_background = background;
    update();
}

void CLogPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    const QPalette& p = palette();
    // A sunken frame: dark lines on the top and left edges, light ones on the bottom and right.
    painter.setPen(p.color(QPalette::Shadow));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(p.color(QPalette::Dark));
    painter.drawLine(r.topLeft() + QPoint(1, 1), r.topRight() + QPoint(-1, 1));
    painter.drawLine(r.topLeft() + QPoint(1, 1), r.bottomLeft() + QPoint(1, -1));
    painter.setPen(p.color(QPalette::Light));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    const QRect inside = r.adjusted(2, 2, -1, -1);
    painter.fillRect(inside, m_background);
    painter.setFont(m_font);
    painter.setPen(m_text);
    painter.drawText(inside.adjusted(5, 5, -5, -5), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     QString::fromUtf8(kSample));
}

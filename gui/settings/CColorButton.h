#pragma once

#include <QColor>
#include <QPushButton>

// A push button that shows a colour swatch beside its text and remembers the colour.
class CColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit CColorButton(const QString& text, QWidget* parent = nullptr);

    void SetColor(const QColor& colour);
    QColor Color() const { return m_colour; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour = Qt::black;
};

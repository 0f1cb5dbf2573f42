#pragma once

#include <QColor>
#include <QFont>
#include <QWidget>

// The log view page's preview: a sunken area in the background colour with a sample line in the
// chosen font and text colour, word-wrapped.
class CLogPreview : public QWidget {
    Q_OBJECT
public:
    static const char* const kSample;

    explicit CLogPreview(QWidget* parent = nullptr);

    void SetLook(const QFont& font, const QColor& text, const QColor& background);
    const QFont& PreviewFont() const { return m_font; }
    QColor TextColour() const { return m_text; }
    QColor BackgroundColour() const { return m_background; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QFont m_font;
    QColor m_text = Qt::black;
    QColor m_background = Qt::white;
};

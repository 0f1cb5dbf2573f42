#include "gui/views/FocusFrame.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QWidget>

namespace {

// A see-through layer over the whole pane, its scroll bars included; clicks go through it.
class FocusFrame : public QWidget {
public:
    explicit FocusFrame(QAbstractScrollArea* pane) : QWidget(pane), m_pane(pane) {
        setObjectName(QStringLiteral("focusFrame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        pane->installEventFilter(this);
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { Follow(now); });
        Follow(QApplication::focusWidget());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_pane && event->type() == QEvent::Resize)
            setGeometry(m_pane->rect());
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        constexpr int kWidth = 2;
        painter.setPen(QPen(palette().color(QPalette::Active, QPalette::Highlight), kWidth));
        painter.drawRect(rect().adjusted(kWidth / 2, kWidth / 2, -kWidth / 2, -kWidth / 2));
    }

private:
    void Follow(QWidget* focus) {
        const bool inPane = focus && (focus == m_pane || m_pane->isAncestorOf(focus));
        setVisible(inPane);
        if (inPane) {
            setGeometry(m_pane->rect());
            raise();
        }
    }

    QAbstractScrollArea* m_pane;
};

} // namespace

void MarkFocus(QAbstractScrollArea* pane) {
    new FocusFrame(pane);
}

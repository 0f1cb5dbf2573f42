#include "gui/views/RedrawThrottle.h"

#include <QTimer>
#include <QWidget>

RedrawThrottle::RedrawThrottle(QWidget* widget, int intervalMs)
    : QObject(widget), m_widget(widget), m_timer(new QTimer(this)) {
    m_timer->setSingleShot(true);
    m_timer->setInterval(intervalMs);
    // Turning updates on again draws the widget once, in its latest state.
    connect(m_timer, &QTimer::timeout, this, [this] { m_widget->setUpdatesEnabled(true); });
}

void RedrawThrottle::Changed() {
    if (m_timer->isActive())
        return;
    m_widget->setUpdatesEnabled(false);
    m_timer->start();
}

#pragma once

#include <QObject>

class QTimer;
class QWidget;

// Lets a widget that changes many times a second (the log while a thousand small files go by, the
// status bar) be drawn at most once per interval. Its content stays current; only the drawing
// waits, one interval at most, and the last state is always drawn.
class RedrawThrottle : public QObject {
    Q_OBJECT
public:
    RedrawThrottle(QWidget* widget, int intervalMs);

    // The widget has changed: it is drawn when the interval that starts now (or is running) ends.
    void Changed();

private:
    QWidget* m_widget;
    QTimer* m_timer;
};

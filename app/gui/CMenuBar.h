#pragma once

#include <QToolBar>

class QMenu;
class QMenuBar;

// The menu bar in a band of its own: the menu titles sit in a movable tool-bar band next to the
// command tool bar. Alt with a title's underlined letter opens its menu; a click on the open title
// closes it.
class CMenuBar : public QToolBar {
    Q_OBJECT
public:
    explicit CMenuBar(QWidget* parent = nullptr);

    QMenuBar* Bar() const { return m_bar; }
    QMenu* AddMenu(const QString& title);
    int MenuCount() const;
    // Opens title k (0 first) when there is one; otherwise nothing.
    void OpenMenu(int k);
    // The title whose menu is open; -1 when none is.
    int OpenMenuIndex() const;

private:
    QMenuBar* m_bar;
};

#include "app/gui/CMenuBar.h"

#include <QMenu>
#include <QMenuBar>

CMenuBar::CMenuBar(QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("menuBand"));
    setWindowTitle(QStringLiteral("menu"));
    m_bar = new QMenuBar(this);
    // The titles stay in the band on every platform, also where menus usually go to the screen's top.
    m_bar->setNativeMenuBar(false);
    addWidget(m_bar);
}

QMenu* CMenuBar::AddMenu(const QString& title) {
    return m_bar->addMenu(title);
}

int CMenuBar::MenuCount() const {
    return static_cast<int>(m_bar->actions().size());
}

void CMenuBar::OpenMenu(int k) {
    const QList<QAction*> titles = m_bar->actions();
    if (k < 0 || k >= titles.size())
        return;
    m_bar->setActiveAction(titles[k]);
}

int CMenuBar::OpenMenuIndex() const {
    const QList<QAction*> titles = m_bar->actions();
    for (qsizetype i = 0; i < titles.size(); ++i) {
        QMenu* menu = titles[i]->menu();
        if (menu && menu->isVisible())
            return static_cast<int>(i);
    }
    return -1;
}

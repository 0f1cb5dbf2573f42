#pragma once

#include "gui/settings/CPropertyPage.h"
#include "gui/settings/CPropertySheet.h"

#include <QApplication>
#include <QTabWidget>
#include <QtTest>

// Walks every control that takes the focus on every page of a shown sheet: from each, Ctrl+Tab shows
// the next page (the last wraps to the first) and Ctrl+Shift+Tab the one before; Ctrl+PgDn and
// Ctrl+PgUp do the same from the page's first control.
namespace SheetKeys {
inline bool TakesFocus(const QWidget* w) {
    return (w->focusPolicy() & Qt::TabFocus) && w->isEnabled();
}
// A control of its own, not the edit inside a spin box or a drop-down.
inline bool IsControl(QWidget* w, QWidget* page) {
    if (!page->isAncestorOf(w) || !TakesFocus(w) || !w->isVisibleTo(page))
        return false;
    for (QWidget* p = w->parentWidget(); p != page; p = p->parentWidget()) {
        if (TakesFocus(p))
            return false;
    }
    return true;
}
} // namespace SheetKeys

inline void CheckPageKeys(CPropertySheet& sheet) {
    const int count = sheet.PageCount();
    for (int page = 0; page < count; ++page) {
        QVERIFY(sheet.SetActivePage(page));
        QList<QWidget*> controls;
        QWidget* shown = sheet.ActivePage();
        for (QWidget* w = shown->nextInFocusChain(); w != shown; w = w->nextInFocusChain()) {
            if (SheetKeys::IsControl(w, shown))
                controls.append(w);
        }
        QVERIFY(!controls.isEmpty());
        for (QWidget* control : controls) {
            const QString what = QStringLiteral("page %1, control %2 (%3)")
                                     .arg(page)
                                     .arg(control->objectName(), control->metaObject()->className());
            control->setFocus(Qt::OtherFocusReason);
            QVERIFY2(QApplication::focusWidget() == control ||
                         control->isAncestorOf(QApplication::focusWidget()),
                     qPrintable(what));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
            QVERIFY2(sheet.Tabs()->currentIndex() == (page + 1) % count, qPrintable(what));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                            Qt::ControlModifier | Qt::ShiftModifier);
            QVERIFY2(sheet.Tabs()->currentIndex() == page, qPrintable(what));
        }
        controls.first()->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(sheet.Tabs()->currentIndex(), (page + count - 1) % count);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(sheet.Tabs()->currentIndex(), page);
    }
}

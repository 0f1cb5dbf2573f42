#pragma once

#include "gui/dialogs/DialogLayout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <functional>

// Finds a control of a dialog by its number.
template <class W> W* Control(QWidget* dialog, int id) {
    return dialog->findChild<W*>(ControlName(id), Qt::FindDirectChildrenOnly);
}

// Clicks the button with this number the way a user does.
inline void ClickButton(QWidget* dialog, int id) {
    auto* button = Control<QAbstractButton>(dialog, id);
    QVERIFY2(button, qPrintable(QStringLiteral("no button %1").arg(id)));
    QTest::mouseClick(button, Qt::LeftButton);
}

// Runs `act` on the modal dialog as soon as it is showing. A dialog that `act` leaves open (a failed
// check) is ended with -1 so that the test goes on instead of hanging.
inline void WhenModalShown(std::function<void(QDialog*)> act) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(dialog);
        if (dialog->isVisible())
            dialog->done(-1);
    });
    poll->start();
}

// Runs `action`; a message box it shows is answered, and its text given back ("" when none showed).
inline QString MessageFrom(const std::function<void()>& action) {
    QString text;
    QObject guard;
    auto* poll = new QTimer(&guard);
    poll->setInterval(0);
    QObject::connect(poll, &QTimer::timeout, &guard, [&text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->done(QMessageBox::Ok);
        }
    });
    poll->start();
    action();
    return text;
}

// Replaces an edit's text the way typing does (the dialog sees an edit).
inline void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    edit->insert(text);
}

// Picks an entry of a drop-down the way the user does.
inline void Choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// The numbers of the controls that take focus, in tab order (0 for a control without a number).
inline QList<int> TabOrder(QWidget* dialog) {
    QList<int> ids;
    for (QWidget* w = dialog->nextInFocusChain(); w != dialog; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->parentWidget() == dialog)
            ids.append(w->objectName().toInt());
    }
    return ids;
}

// How a test ends a dialog: by clicking a button (its number), by Escape or by the close box.
inline constexpr int PressEscape = -1;
inline constexpr int CloseBox = -2;
inline void AnswerDialog(QDialog* dialog, int how) {
    if (how == PressEscape)
        QTest::keyClick(dialog, Qt::Key_Escape);
    else if (how == CloseBox)
        dialog->close();
    else
        ClickButton(dialog, how);
}

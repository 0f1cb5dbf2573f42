#include "gui/views/AddressLine.h"

#include <QKeyEvent>

AddressLine::AddressLine(QWidget* parent) : QLineEdit(parent) {
    setObjectName(QStringLiteral("addressLine"));
    setPlaceholderText(QStringLiteral("フォルダ、または ftp://ホスト/パス"));
    setClearButtonEnabled(false);
    connect(this, &QLineEdit::returnPressed, this, [this] {
        const QString typed = text().trimmed();
        if (typed.isEmpty()) {
            Revert();
            return;
        }
        // The typed text may hold a password: it never stays in the line.
        setModified(false);
        emit AddressEntered(typed);
    });
}

void AddressLine::ShowPath(const QString& path) {
    m_shown = path;
    if (!hasFocus() || !isModified())
        Revert();
}

void AddressLine::Revert() {
    setText(m_shown);
    setModified(false);
}

void AddressLine::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && isModified()) {
        Revert();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void AddressLine::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A half-typed address left behind would look like the folder the list shows.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        Revert();
}

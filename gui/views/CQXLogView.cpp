#include "gui/views/CQXLogView.h"

#include "gui/settings/StoredColour.h"
#include "gui/views/RedrawThrottle.h"
#include "platform/TextCodec.h"
#include "platform/gui/FontFaces.h"
#include "settings/LogViewSettings.h"
#include "views/LogText.h"

#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

LogAppearance ReadLogAppearance(const QColor& buttonFace, const QColor& window) {
    const LogViewSettings stored = LogViewSettings::Load(ToStoredColour(buttonFace));
    LogAppearance a;
    a.text = stored.usedefft ? QColor(Qt::black) : FromStoredColour(stored.ftcolor);
    if (stored.usedefcolor)
        a.background = buttonFace;
    else if (stored.usewincolor)
        a.background = window;
    else
        a.background = FromStoredColour(stored.bkcolor);
    a.face = DecodeStoredText(stored.FaceShown());
    a.pointSize = stored.PointsShown();
    return a;
}

CQXLogView::CQXLogView(QWidget* parent) : QPlainTextEdit(parent), m_redraw(new RedrawThrottle(this, 50)) {
    setReadOnly(true);
    // Keyboard selection and Ctrl+C still work in a read-only pane with this flag set.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFrameShape(QFrame::NoFrame);
    const QPalette& p = palette();
    ApplyAppearance(ReadLogAppearance(p.color(QPalette::Button), p.color(QPalette::Base)));
}

void CQXLogView::SetLogText(CLogText* log) {
    if (m_log)
        disconnect(m_log, nullptr, this, nullptr);
    m_log = log;
    Clear();
    if (!log)
        return;
    AppendText(log->Text());
    connect(log, &CLogText::Appended, this, [this](const std::string& text) { AppendText(text); });
    // The log drops whole lines from its start; the pane drops as many as it has more than the log.
    connect(log, &CLogText::Trimmed, this,
            [this, log](std::size_t) { RemoveLeadingLines(document()->blockCount() - log->LineCount()); });
}

void CQXLogView::ApplyAppearance(const LogAppearance& appearance) {
    m_appearance = appearance;
    setFont(FixedWidthFont(appearance.face, appearance.pointSize));
    QPalette p = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Base, appearance.background);
        p.setColor(group, QPalette::Window, appearance.background);
        p.setColor(group, QPalette::Text, appearance.text);
    }
    setPalette(p);
}

void CQXLogView::AppendText(const std::string& bytes) {
    // Each line is decoded on its own: a reply can mix the server's CP932 lines with UTF-8 ones.
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    std::string_view rest(bytes);
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
        text += DecodeMixedText(line);
        rest.remove_prefix(line.size());
    }
    // One line break per LF: the block count then follows the log's line count.
    text.remove(QLatin1Char('\r'));
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->maximum());
    m_redraw->Changed();
}

void CQXLogView::RemoveLeadingLines(int count) {
    if (count <= 0)
        return;
    if (count >= document()->blockCount()) {
        Clear();
        return;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, count);
    cursor.removeSelectedText();
}

void CQXLogView::Clear() {
    clear();
}

void CQXLogView::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    const bool was = event->oldSize().height() > 0;
    const bool is = event->size().height() > 0;
    if (was != is)
        emit VisibleHeightChanged(is);
}

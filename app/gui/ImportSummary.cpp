#include "app/gui/ImportSummary.h"

#include "hosts/HostImport.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char* const kTitle = "ホストを取り込む";

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString HostLines(const ImportSource& source) {
    QStringList lines;
    for (const ImportEntry& entry : source.entries) {
        QStringList said;
        if (!entry.Imported())
            said << Text(entry.skipReason);
        for (const std::string& note : entry.notes)
            said << Text(note);
        QString line = entry.Imported() ? QStringLiteral("取り込み: %1").arg(Text(entry.host.Name))
                                        : QStringLiteral("取り込まず: %1").arg(Text(entry.name));
        if (!said.isEmpty())
            line += QStringLiteral(" — ") + said.join(QStringLiteral("。"));
        lines << line;
    }
    return lines.join(u'\n');
}

} // namespace

void ShowImportSummary(QWidget* parent, const ImportReport& report) {
    const QString title = QString::fromUtf8(kTitle);
    if (!report.source.read) {
        QMessageBox::warning(
            parent, title,
            QStringLiteral("ファイルを読み取れませんでした。\n%1\nホストの設定は変わっていません。")
                .arg(Text(report.problem)));
        return;
    }
    const auto skipped = std::count_if(report.source.entries.begin(), report.source.entries.end(),
                                       [](const ImportEntry& e) { return !e.Imported(); });
    QString headline;
    if (report.stored > 0)
        headline = QStringLiteral("%1 件のホストを取り込みました。").arg(report.stored);
    else if (!report.problem.empty())
        headline = QStringLiteral("ホストを保存できませんでした。%1。").arg(Text(report.problem));
    else
        headline = QStringLiteral("取り込めるホストはありませんでした。");
    if (skipped > 0)
        headline += QStringLiteral("%1 件は取り込みませんでした。").arg(skipped);

    QDialog box(parent);
    box.setObjectName(QStringLiteral("ImportSummary"));
    box.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&box);
    auto* label = new QLabel(headline, &box);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* hosts = new QPlainTextEdit(HostLines(report.source), &box);
    hosts->setReadOnly(true);
    // A host's notes may be long; they wrap rather than hide behind a scroll bar.
    hosts->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(hosts);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);
    box.resize(560, 360);
    box.exec();
}

#include "dialogs/ConfirmRules.h"

#include "dialogs/DialogIds.h"

#include <QDir>
#include <QFileInfo>

DeleteQuestion BuildDeleteQuestion(int files, int folders, const QString& lastFileName,
                                   const QString& lastFolderName) {
    if (files == 1 && folders == 0)
        return {QStringLiteral("ファイル削除の確認"),
                QStringLiteral("「%1」 を削除してもよろしいですか。").arg(lastFileName), 0};
    if (files == 0 && folders == 1)
        return {QStringLiteral("フォルダ削除の確認"),
                QStringLiteral("フォルダ 「%1」 とフォルダ内のすべてのファイルを削除してもよろしいですか。")
                    .arg(lastFolderName),
                1};
    if (files == 0)
        return {QStringLiteral("複数フォルダの削除の確認"),
                QStringLiteral("これらの %1個のフォルダを削除してもよろしいですか。").arg(folders), 2};
    // A mixed selection is counted as files throughout.
    return {QStringLiteral("複数ファイルの削除の確認"),
            QStringLiteral("これらの %1個のファイルを削除してもよろしいですか。").arg(files + folders), 2};
}

DeleteSelection CountForDelete(const std::vector<FileListRow>& rows) {
    DeleteSelection counted;
    for (const FileListRow& row : rows) {
        if (row.IsFolder()) {
            ++counted.folders;
            counted.lastFolder = row.name;
        } else {
            ++counted.files;
            counted.lastFile = row.name;
        }
    }
    return counted;
}

int DeletePictureId(int kind) {
    switch (kind) {
    case 0:
        return DialogId::IDI_DELETE_FILE;
    case 1:
        return DialogId::IDI_DELETE_FOLDER;
    default:
        return DialogId::IDI_DELETE_MANY;
    }
}

std::int64_t SizeInKB(std::int64_t bytes) {
    if (bytes <= 0)
        return 0;
    if (bytes < 1024)
        return 1;
    return bytes / 1024;
}

QString LocalDateLine(const QDateTime& modified) {
    const QDateTime t = modified.toLocalTime();
    const QDate d = t.date();
    const QTime h = t.time();
    return QStringLiteral("更新日時: %1年%2月%3日、%4:%5:%6")
        .arg(d.year())
        .arg(d.month())
        .arg(d.day())
        .arg(h.hour())
        .arg(h.minute(), 2, 10, QLatin1Char('0'))
        .arg(h.second(), 2, 10, QLatin1Char('0'));
}

namespace {

// The number that the digits at the start of text[from, from + length) spell, 0 when there are none.
int NumberAt(const QString& text, qsizetype from, qsizetype length) {
    int value = 0;
    for (qsizetype i = from; i < from + length && i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            break;
        value = value * 10 + (c - u'0');
    }
    return value;
}

} // namespace

QString RemoteDateLine(const QString& dateText) {
    if (dateText.size() < 10)
        return {};
    const int year = NumberAt(dateText, 0, 4);
    const int month = NumberAt(dateText, 5, 2);
    const int day = NumberAt(dateText, 8, 2);
    if (year == 0 || month == 0 || day == 0)
        return {};
    int hour = 0;
    int minute = 0;
    if (dateText.size() == 16) {
        hour = NumberAt(dateText, 11, 2);
        minute = NumberAt(dateText, 14, 2);
    }
    return QStringLiteral("更新日時: %1年%2月%3日、%4:%5:00")
        .arg(year)
        .arg(month)
        .arg(day)
        .arg(hour)
        .arg(minute, 2, 10, QLatin1Char('0'));
}

std::optional<LocalFileStatus> ReadLocalFileStatus(const QString& path) {
    QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    return LocalFileStatus{info.size(), info.lastModified()};
}

OverwriteTexts DownloadOverwriteTexts(const QString& localPath, const LocalFileStatus& local,
                                      const QString& remoteDate, std::int64_t remoteSize) {
    OverwriteTexts t;
    t.headline = QStringLiteral("このフォルダには、既に 「%1」　ファイルが存在します。")
                     .arg(QFileInfo(localPath).fileName());
    t.existingSize = QStringLiteral("サイズ: %1KB").arg(SizeInKB(local.size));
    t.existingDate = LocalDateLine(local.modified);
    t.newSize = QStringLiteral("サイズ: %1KB").arg(SizeInKB(remoteSize));
    t.newDate = RemoteDateLine(remoteDate);
    return t;
}

OverwriteTexts UploadOverwriteTexts(const QString& localPath, const LocalFileStatus& local,
                                    const QString& remoteDate, const QString& remoteSizeText) {
    OverwriteTexts t;
    t.headline = QStringLiteral("ホストには、既に 「%1」　ファイルが存在します。")
                     .arg(QFileInfo(localPath).fileName());
    t.existingSize = QStringLiteral("サイズ: %1バイト").arg(remoteSizeText);
    t.existingDate = RemoteDateLine(remoteDate);
    t.newSize = QStringLiteral("サイズ: %1ＫＢ").arg(SizeInKB(local.size));
    t.newDate = LocalDateLine(local.modified);
    return t;
}

OverwriteTexts RenameOverwriteTexts(const QString& name, const RemoteColumns& existing,
                                    const RemoteColumns& renamed) {
    auto sizeLine = [](const QString& size) {
        return size.isEmpty() ? QString() : QStringLiteral("サイズ: %1バイト").arg(size);
    };
    OverwriteTexts t;
    t.headline = QStringLiteral("ホストには、既に 「%1」　ファイルが存在します。").arg(name);
    t.existingSize = sizeLine(existing.size);
    t.existingDate = RemoteDateLine(existing.date);
    t.newSize = sizeLine(renamed.size);
    t.newDate = RemoteDateLine(renamed.date);
    return t;
}

QString LastPathName(const QString& path) {
    // Working on characters, not bytes, a "\" inside a double-byte character can never pass for a
    // separator. A separator in the first place does not count, as the scan stops before it.
    const QString p = QDir::fromNativeSeparators(path);
    for (qsizetype i = p.size() - 1; i >= 1; --i) {
        if (p[i] == QLatin1Char('/'))
            return p.mid(i + 1);
    }
    return path;
}

QString FolderOverwriteHeadline(const QString& localFolderPath) {
    return QStringLiteral("このフォルダには既に「%1」フォルダが存在します。")
        .arg(LastPathName(localFolderPath));
}

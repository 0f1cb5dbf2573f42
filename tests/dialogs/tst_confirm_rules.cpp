#include "dialogs/ConfirmRules.h"
#include "dialogs/DialogIds.h"
#include "platform/TextCodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

class TestConfirmRules : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void deleteQuestion_data();
    void deleteQuestion();
    void deleteCountsTheRows();
    void sizeInKB_data();
    void sizeInKB();
    void localDateLineIsLocalTimeWithoutPadding();
    void remoteDateLine_data();
    void remoteDateLine();
    void localFileStatus();
    void downloadTexts();
    void uploadTexts();
    void lastPathName_data();
    void lastPathName();
    void folderHeadline();
};

void TestConfirmRules::initTestCase() {
    // A fixed zone east of UTC, so that the local date line is checked against a known shift.
    qputenv("TZ", "JST-9");
    tzset();
}

void TestConfirmRules::deleteQuestion_data() {
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("folders");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("picture");

    QTest::newRow("one file") << 1 << 0 << "ファイル削除の確認"
                              << "「a.txt」 を削除してもよろしいですか。" << 214;
    QTest::newRow("one folder")
        << 0 << 1 << "フォルダ削除の確認"
        << "フォルダ 「pub」 とフォルダ内のすべてのファイルを削除してもよろしいですか。" << 215;
    QTest::newRow("three folders") << 0 << 3 << "複数フォルダの削除の確認"
                                   << "これらの 3個のフォルダを削除してもよろしいですか。" << 218;
    QTest::newRow("a file and a folder count as two files")
        << 1 << 1 << "複数ファイルの削除の確認"
        << "これらの 2個のファイルを削除してもよろしいですか。" << 218;
    QTest::newRow("two files") << 2 << 0 << "複数ファイルの削除の確認"
                               << "これらの 2個のファイルを削除してもよろしいですか。" << 218;
    QTest::newRow("many, no separators") << 1200 << 34 << "複数ファイルの削除の確認"
                                         << "これらの 1234個のファイルを削除してもよろしいですか。" << 218;
}

void TestConfirmRules::deleteQuestion() {
    QFETCH(int, files);
    QFETCH(int, folders);
    const DeleteQuestion q =
        BuildDeleteQuestion(files, folders, QStringLiteral("a.txt"), QStringLiteral("pub"));
    QTEST(q.title, "title");
    QTEST(q.message, "message");
    QTEST(DeletePictureId(q.kind), "picture");
}

void TestConfirmRules::deleteCountsTheRows() {
    const FileListRow file{"a", "10", "", "-rw-r--r--"};
    const FileListRow folder{"d", "", "", "drwxr-xr-x"};
    // A link shows as a folder, and the question counts what the list shows.
    const FileListRow link{"l", "", "", "drwxrwxrwx", true};
    const FileListRow last{"b", "10", "", "-rw-r--r--"};
    const DeleteSelection counted = CountForDelete({folder, file, link, last});
    QCOMPARE(counted.files, 2);
    QCOMPARE(counted.folders, 2);
    QCOMPARE(counted.lastFile, std::string("b"));
    QCOMPARE(counted.lastFolder, std::string("l"));
    QCOMPARE(CountForDelete({}).files + CountForDelete({}).folders, 0);
}

void TestConfirmRules::sizeInKB_data() {
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<qint64>("kb");
    QTest::newRow("empty") << qint64(0) << qint64(0);
    QTest::newRow("one byte") << qint64(1) << qint64(1);
    QTest::newRow("1023") << qint64(1023) << qint64(1);
    QTest::newRow("1024") << qint64(1024) << qint64(1);
    QTest::newRow("2047 rounds down") << qint64(2047) << qint64(1);
    QTest::newRow("2048") << qint64(2048) << qint64(2);
    QTest::newRow("5 GiB") << qint64(5) * 1024 * 1024 * 1024 << qint64(5) * 1024 * 1024;
}

void TestConfirmRules::sizeInKB() {
    QFETCH(qint64, bytes);
    QTEST(qint64(SizeInKB(bytes)), "kb");
}

void TestConfirmRules::localDateLineIsLocalTimeWithoutPadding() {
    QCOMPARE(LocalDateLine(QDateTime(QDate(2024, 1, 5), QTime(9, 3, 7))),
             QStringLiteral("更新日時: 2024年1月5日、9:03:07"));
    const QDateTime utc(QDate(2000, 12, 31), QTime(23, 30, 0), Qt::UTC);
    QCOMPARE(LocalDateLine(utc), QStringLiteral("更新日時: 2001年1月1日、8:30:00"));
}

void TestConfirmRules::remoteDateLine_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("line");
    QTest::newRow("date only") << "2000/12/05"
                               << "更新日時: 2000年12月5日、0:00:00";
    QTest::newRow("date and time") << "2000/12/05 09:07"
                                   << "更新日時: 2000年12月5日、9:07:00";
    QTest::newRow("late in the day") << "2023/01/31 23:59"
                                     << "更新日時: 2023年1月31日、23:59:00";
    QTest::newRow("month 0") << "2000/00/05"
                             << "";
    QTest::newRow("day 0") << "2000/12/00"
                           << "";
    QTest::newRow("year 0") << "0000/12/05"
                            << "";
    QTest::newRow("nine characters") << "2000/12/5"
                                     << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("no digits") << "abcd/ef/gh"
                               << "";
    QTest::newRow("time only read at 16 characters") << "2000/12/05 9:07"
                                                     << "更新日時: 2000年12月5日、0:00:00";
    QTest::newRow("full-width digits are no number") << "２０００/12/05"
                                                     << "";
}

void TestConfirmRules::remoteDateLine() {
    QFETCH(QString, date);
    QTEST(RemoteDateLine(date), "line");
}

void TestConfirmRules::localFileStatus() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("one.bin"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x", 1);
    QVERIFY(f.flush());
    const QDateTime when(QDate(2021, 6, 7), QTime(8, 9, 10));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
    f.close();

    const std::optional<LocalFileStatus> status = ReadLocalFileStatus(path);
    QVERIFY(status);
    QCOMPARE(status->size, std::int64_t(1));
    QCOMPARE(LocalDateLine(status->modified), QStringLiteral("更新日時: 2021年6月7日、8:09:10"));
    QVERIFY(!ReadLocalFileStatus(dir.filePath(QStringLiteral("missing"))));
}

void TestConfirmRules::downloadTexts() {
    const LocalFileStatus local{2047, QDateTime(QDate(2022, 3, 4), QTime(5, 6, 7))};
    const OverwriteTexts t = DownloadOverwriteTexts(QStringLiteral("/home/u/dl/report.tar.gz"), local,
                                                    QStringLiteral("2000/12/05 09:07"), 0);
    // The space after 」 is the ideographic one; the name is whole, with its extensions.
    QCOMPARE(t.headline,
             QStringLiteral("このフォルダには、既に 「report.tar.gz」\u3000ファイルが存在します。"));
    QCOMPARE(t.existingSize, QStringLiteral("サイズ: 1KB"));
    QCOMPARE(t.existingDate, QStringLiteral("更新日時: 2022年3月4日、5:06:07"));
    QCOMPARE(t.newSize, QStringLiteral("サイズ: 0KB"));
    QCOMPARE(t.newDate, QStringLiteral("更新日時: 2000年12月5日、9:07:00"));

    const OverwriteTexts big = DownloadOverwriteTexts(QStringLiteral("/d/image"), {1, local.modified},
                                                      QStringLiteral("bad"), std::int64_t(6) << 30);
    QCOMPARE(big.headline, QStringLiteral("このフォルダには、既に 「image」\u3000ファイルが存在します。"));
    QCOMPARE(big.existingSize, QStringLiteral("サイズ: 1KB"));
    QCOMPARE(big.newSize, QStringLiteral("サイズ: 6291456KB"));
    QCOMPARE(big.newDate, QString());
}

void TestConfirmRules::uploadTexts() {
    const LocalFileStatus local{1, QDateTime(QDate(2022, 3, 4), QTime(15, 16, 17))};
    const OverwriteTexts t = UploadOverwriteTexts(QStringLiteral("/home/u/up/report.tar.gz"), local,
                                                  QStringLiteral("2000/12/05"), QStringLiteral("123456"));
    QCOMPARE(t.headline, QStringLiteral("ホストには、既に 「report.tar.gz」\u3000ファイルが存在します。"));
    QCOMPARE(t.existingSize, QStringLiteral("サイズ: 123456バイト"));
    QCOMPARE(t.existingDate, QStringLiteral("更新日時: 2000年12月5日、0:00:00"));
    QCOMPARE(t.newSize, QStringLiteral("サイズ: 1ＫＢ"));
    QCOMPARE(t.newDate, QStringLiteral("更新日時: 2022年3月4日、15:16:17"));
}

void TestConfirmRules::lastPathName_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "/home/u/dl/新しいフォルダ"
                           << "新しいフォルダ";
    QTest::newRow("no separator") << "pub"
                                  << "pub";
    QTest::newRow("separator only in front") << "/pub"
                                             << "/pub";
    QTest::newRow("trailing separator") << "/home/u/"
                                        << "";
    // 表 is 0x95 0x5C in Shift-JIS: its second byte is no separator.
    QTest::newRow("Shift-JIS name ending in 0x5C") << DecodeCp932("/home/u/\x95\x5C") << "表";
    QTest::newRow("Shift-JIS name with 0x5C inside")
        << DecodeCp932("/dl/\x83\x5C\x83\x74\x83\x67") << "ソフト";
    // 亜 is 0x88 0x9F: a second byte in the lead-byte range does not hide the separator after it.
    QTest::newRow("separator after a trail byte like a lead byte") << DecodeCp932("/dl/\x88\x9F/x") << "x";
}

void TestConfirmRules::lastPathName() {
    QFETCH(QString, path);
    QTEST(LastPathName(path), "name");
}

void TestConfirmRules::folderHeadline() {
    QCOMPARE(FolderOverwriteHeadline(QStringLiteral("/home/u/dl/pub")),
             QStringLiteral("このフォルダには既に「pub」フォルダが存在します。"));
}

QTEST_GUILESS_MAIN(TestConfirmRules)
#include "tst_confirm_rules.moc"

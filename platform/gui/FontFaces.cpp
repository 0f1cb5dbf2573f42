#include "platform/gui/FontFaces.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>

namespace {

// In order of preference; only installed ones are used.
const char* const kFixedWidthFaces[] = {"IPAGothic", "Noto Sans Mono CJK JP", "VL Gothic", "TakaoGothic"};
const char* const kProportionalFaces[] = {"IPAPGothic", "Noto Sans CJK JP", "VL PGothic", "TakaoPGothic"};

const char* const kFixedWidthNames[] = {"ＭＳ ゴシック", "MS Gothic", "ＭＳ 明朝", "MS Mincho"};
const char* const kProportionalNames[] = {"MS UI Gothic", "ＭＳ Ｐゴシック", "MS PGothic",  "ＭＳ Ｐ明朝",
                                          "MS PMincho",   "メイリオ",        "Meiryo",      "Meiryo UI",
                                          "游ゴシック",   "Yu Gothic",       "Yu Gothic UI"};

template <std::size_t N> QStringList Installed(const char* const (&faces)[N]) {
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    QStringList found;
    for (const char* face : faces) {
        const QString name = QString::fromUtf8(face);
        if (japanese.contains(name, Qt::CaseInsensitive))
            found << name;
    }
    return found;
}

} // namespace

void InstallFontSubstitutes() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    const QStringList fixedWidth = Installed(kFixedWidthFaces) << QStringLiteral("Monospace");
    const QStringList proportional = Installed(kProportionalFaces) << QStringLiteral("Sans Serif");
    for (const char* name : kFixedWidthNames)
        QFont::insertSubstitutions(QString::fromUtf8(name), fixedWidth);
    for (const char* name : kProportionalNames)
        QFont::insertSubstitutions(QString::fromUtf8(name), proportional);
}

QString JapaneseFixedWidthFace() {
    return Installed(kFixedWidthFaces).value(0);
}

QFont FixedWidthFont(const QString& storedFamily, int pointSize) {
    InstallFontSubstitutes();
    QFont font;
    QStringList families{storedFamily};
    // A face chosen without Japanese glyphs still gets a Japanese fixed-width face for the rest,
    // instead of whatever the system would fall back to.
    const QString japanese = JapaneseFixedWidthFace();
    if (!japanese.isEmpty() && japanese.compare(storedFamily, Qt::CaseInsensitive) != 0)
        families << japanese;
    font.setFamilies(families);
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSize(pointSize);
    return font;
}

QString FaceUsedFor(const QString& storedFamily) {
    InstallFontSubstitutes();
    QFont font(storedFamily);
    return QFontInfo(font).family();
}

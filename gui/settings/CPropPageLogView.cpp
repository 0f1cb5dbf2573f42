#include "gui/settings/CPropPageLogView.h"

#include "gui/dialogs/DialogLayout.h"
#include "gui/settings/CColorButton.h"
#include "gui/settings/CLogPreview.h"
#include "gui/settings/OptionSheetControls.h"
#include "gui/settings/PageRows.h"
#include "gui/settings/StoredColour.h"
#include "platform/gui/FontFaces.h"
#include "settings/HostInputRules.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>

using namespace OptionSheetControl;

namespace {

const QString kDefaultSize = QString::number(LogViewSettings::kDefaultPoints);

QString defaultFace() {
    return QString::fromUtf8(LogViewSettings::kDefaultFace);
}

} // namespace

QColor CPropPageLogView::SystemButtonFace() {
    return QApplication::palette().color(QPalette::Button);
}

QColor CPropPageLogView::SystemWindowColour() {
    return QApplication::palette().color(QPalette::Base);
}

CPropPageLogView::CPropPageLogView(QWidget* parent) : COptionPage(parent) {
    DialogBuilder b(this, LogViewPage, kPageWidth, 0);
    PageRows rows(b, kPageMargin, kPageMargin, kPageWidth - 2 * kPageMargin);
    rows.BeginGroup(LogGroup, QStringLiteral("　　　　　　　ログビューのフォントとカラーの設定を行います"));
    PutPicture(b, findChild<QGroupBox*>(ControlName(LogGroup)),
               style()->standardIcon(QStyle::SP_FileDialogContentsView));
    constexpr int labelWidth = 40;
    rows.Label(FaceLabel, QStringLiteral("フォント(&F)"), labelWidth);
    m_face = rows.DropDown(Face);
    rows.NextRow();
    rows.Label(SizeLabel, QStringLiteral("サイズ(&S)"), labelWidth);
    m_size = rows.DropDown(Size, 36);
    rows.AlignRight(60);
    m_textColour = rows.Add(TextColour, new CColorButton(QStringLiteral("カラー(&C)"), this), 60,
                            PageRows::kRowHeight + 2);
    rows.NextRow();
    m_defaultFont = rows.CheckBox(DefaultFont, QStringLiteral("デフォルトのフォント(&D)"));
    rows.NextRow();
    m_faceUsed = rows.Label(FaceUsed, QString(), 0);
    rows.NextRow();
    rows.Label(PreviewLabel, QStringLiteral("プレビュー"), 0);
    rows.NextRow();
    m_preview = rows.Add(Preview, new CLogPreview(this), 0, 40);
    rows.BeginGroup(BackGroup, QStringLiteral("背景"));
    m_backColour = rows.Add(BackColour, new CColorButton(QStringLiteral("カラー(&B)"), this), 60,
                            PageRows::kRowHeight + 2);
    rows.NextRow();
    m_defaultColour = rows.CheckBox(DefaultColour, QStringLiteral("デフォルトカラー(&D)"), 90);
    m_windowColour = rows.CheckBox(WindowColour, QStringLiteral("ウインドウカラー(&W)"));
    rows.EndGroup();
    rows.EndGroup();
    FinishPage(b, rows);

    m_face->setMaxVisibleItems(20);
    connect(m_defaultFont, &QCheckBox::clicked, this, &CPropPageLogView::OnDefaultFont);
    connect(m_face, &QComboBox::activated, this, &CPropPageLogView::OnFaceOrSizeChosen);
    connect(m_size, &QComboBox::activated, this, &CPropPageLogView::OnFaceOrSizeChosen);
    connect(m_textColour, &QPushButton::clicked, this, &CPropPageLogView::OnTextColour);
    connect(m_backColour, &QPushButton::clicked, this, &CPropPageLogView::OnBackColour);
    connect(m_defaultColour, &QCheckBox::clicked, this, &CPropPageLogView::OnDefaultColour);
    connect(m_windowColour, &QCheckBox::clicked, this, &CPropPageLogView::OnWindowColour);
}

void CPropPageLogView::Load() {
    m_stored = LogViewSettings::Load(ToStoredColour(SystemButtonFace()));
    // The Windows names of older stores, and a stored face no longer installed, stay choosable:
    // they are drawn with an installed Japanese face, which the page names.
    QStringList faces = QFontDatabase::families(QFontDatabase::Japanese);
    faces << defaultFace();
    if (!m_stored.font.empty())
        faces << ShownText(m_stored.font);
    m_face->addItems(LogFaceChoices(faces));
    for (int points = LogViewSettings::kSmallestPoints; points <= LogViewSettings::kLargestPoints; ++points)
        m_size->addItem(QString::number(points));

    m_defaultFont->setChecked(m_stored.usedefft);
    OnDefaultFont();
    m_defaultColour->setChecked(m_stored.usedefcolor);
    m_windowColour->setChecked(m_stored.usewincolor);
    if (m_defaultColour->isChecked())
        OnDefaultColour();
    OnWindowColour();
}

void CPropPageLogView::SelectFont(const QString& face, const QString& size) {
    int faceRow = 0;
    for (int i = 0; i < m_face->count(); ++i) {
        if (m_face->itemText(i).startsWith(face, Qt::CaseInsensitive)) {
            faceRow = i;
            break;
        }
    }
    m_face->setCurrentIndex(faceRow);
    const int sizeRow = m_size->findText(size.trimmed());
    m_size->setCurrentIndex(sizeRow >= 0 ? sizeRow : m_size->findText(kDefaultSize));
}

void CPropPageLogView::OnDefaultFont() {
    // The default font is the log's whole default look of its text: the face, the size and black.
    if (m_defaultFont->isChecked()) {
        SelectFont(defaultFace(), kDefaultSize);
        m_textColour->SetColor(Qt::black);
    } else {
        SelectFont(m_stored.font.empty() ? defaultFace() : ShownText(m_stored.font),
                   m_stored.fontsize.empty() ? kDefaultSize : QString::fromStdString(m_stored.fontsize));
        m_textColour->SetColor(FromStoredColour(m_stored.ftcolor));
    }
    UpdatePreview();
    Changed();
}

void CPropPageLogView::OnFaceOrSizeChosen() {
    m_defaultFont->setChecked(false);
    UpdatePreview();
    Changed();
}

bool CPropPageLogView::ChooseColour(QColor& colour) {
    const QColor chosen = QColorDialog::getColor(colour, this);
    if (!chosen.isValid())
        return false;
    colour = chosen;
    return true;
}

void CPropPageLogView::OnTextColour() {
    QColor colour = m_textColour->Color();
    if (!ChooseColour(colour))
        return;
    m_defaultFont->setChecked(false);
    m_textColour->SetColor(colour);
    UpdatePreview();
    Changed();
}

void CPropPageLogView::OnBackColour() {
    QColor colour = m_backColour->Color();
    if (!ChooseColour(colour))
        return;
    m_defaultColour->setChecked(false);
    m_windowColour->setChecked(false);
    m_backColour->SetColor(colour);
    UpdatePreview();
    Changed();
}

void CPropPageLogView::OnDefaultColour() {
    if (m_defaultColour->isChecked()) {
        m_backColour->SetColor(SystemButtonFace());
        m_windowColour->setChecked(false);
    } else {
        m_backColour->SetColor(FromStoredColour(m_stored.bkcolor));
    }
    UpdatePreview();
    Changed();
}

void CPropPageLogView::OnWindowColour() {
    if (m_windowColour->isChecked()) {
        m_backColour->SetColor(SystemWindowColour());
        m_defaultColour->setChecked(false);
    } else {
        const QColor stored = FromStoredColour(m_stored.bkcolor);
        m_backColour->SetColor(stored);
        if (stored == SystemButtonFace())
            m_defaultColour->setChecked(true);
    }
    UpdatePreview();
    Changed();
}

void CPropPageLogView::UpdatePreview() {
    const QFont font = FixedWidthFont(m_face->currentText(), m_size->currentText().toInt());
    m_preview->SetLook(font, m_textColour->Color(), m_backColour->Color());
    m_faceUsed->setText(QStringLiteral("表示に使われるフォント: %1").arg(QFontInfo(font).family()));
}

bool CPropPageLogView::OnApply() {
    // Under the default font the text is black in the default face and size, and under a system
    // colour the background is that colour; the choices made earlier stay stored for later.
    LogViewSettings s = m_stored;
    s.usedefft = m_defaultFont->isChecked();
    if (!s.usedefft) {
        s.ftcolor = ToStoredColour(m_textColour->Color());
        s.font = TextForStore(m_stored.font, m_face->currentText());
        s.fontsize = m_size->currentText().toStdString();
    }
    s.usedefcolor = m_defaultColour->isChecked();
    s.usewincolor = m_windowColour->isChecked();
    if (!s.usedefcolor && !s.usewincolor)
        s.bkcolor = ToStoredColour(m_backColour->Color());
    s.Save();
    m_stored = s;
    return true;
}

#pragma once

#include <QString>

#include <vector>

class DialogBuilder;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Lays out a settings page in rows from the top, in dialog units: each row holds its controls left
// to right, group boxes grow around the rows put into them, and a row added between two others moves
// the rest down by itself, so a page can gain a row without placing its controls again. Controls are
// created in row order, which is their tab order; a label becomes the buddy of the control that
// follows it, so its mnemonic moves the focus there.
class PageRows {
public:
    PageRows(DialogBuilder& builder, int left, int top, int width);

    QLabel* Label(int id, const QString& text, int width);
    // A width of 0 takes the rest of the row.
    QLineEdit* Edit(int id, int width = 0);
    QComboBox* DropDown(int id, int width = 0);
    QCheckBox* CheckBox(int id, const QString& text, int width = 0);
    QPushButton* Button(int id, const QString& text, int width);
    // Any other control, made by the caller with the page as its parent: `width` units of the row
    // (0: the rest of it) and `height` units high, more when the control needs more.
    template <class W> W* Add(int id, W* control, int width, int height) {
        Put(id, control, width, height);
        return control;
    }
    // A text on a row of its own, wrapped over `lines` lines.
    QLabel* Text(int id, const QString& text, int lines);
    // The width left in the row when `reserve` units stay free for a control after the next one.
    int RestOfRow(int reserve) const;
    // The rest of the row's controls, `width` units in all, go to its right end.
    void AlignRight(int width);
    void NextRow();

    // Groups may stand inside groups.
    void BeginGroup(int id, const QString& title);
    void EndGroup();

    // Where the next row would start.
    int Bottom() const { return m_y; }

    static constexpr int kRowHeight = 12;
    static constexpr int kRowGap = 5;
    static constexpr int kGap = 4;

private:
    // The left edge for a control of this width (0: the rest of the row), and the row moves on.
    int Take(int width, int* taken);
    void Placed(QWidget* control, int height);
    void Put(int id, QWidget* control, int width, int height);

    DialogBuilder& m_b;
    int m_left;
    int m_right;
    int m_x;
    int m_y;
    int m_rowHeight = 0;
    QLabel* m_label = nullptr;
    struct OpenGroup {
        QGroupBox* box;
        int top;
    };
    std::vector<OpenGroup> m_groups;
};

#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// A control's object name: its number, so that it can be found by id.
QString ControlName(int id);

// Controls without a number of their own.
inline constexpr int NoId = 0;

// One of the dialogs' own pictures (214, 215, 218, 221).
QPixmap DialogPicture(int id);
// An icon at the size an icon control shows it.
QPixmap IconPixmap(const QIcon& icon);

// "MS UI Gothic" 9 pt, the font every one of these dialogs is laid out in.
QFont DialogFont();

// Builds a dialog (or a page of a property sheet) from its template: every control is a direct child
// of the dialog, placed in dialog units of the dialog's font, and the controls are created in
// template order, which is their tab order. A group box is a frame drawn behind the controls it
// surrounds, not their parent.
class DialogBuilder {
public:
    // Gives the dialog its template number as its object name, its font and its fixed client size.
    DialogBuilder(QWidget* dialog, int templateId, int width, int height);

    QPushButton* Button(int id, const QString& text, int x, int y, int w, int h, bool isDefault = false);
    QLabel* Static(int id, const QString& text, int x, int y, int w, int h, bool centred = false);
    // A picture of the standard icon size with its top left corner at (x, y).
    QLabel* Icon(int id, int x, int y);
    QCheckBox* CheckBox(int id, const QString& text, int x, int y, int w, int h);
    QLineEdit* Edit(int id, int x, int y, int w, int h);
    QGroupBox* Group(int id, const QString& text, int x, int y, int w, int h);
    // A drop-down list: the user picks one of its entries and cannot type.
    QComboBox* DropDown(int id, int x, int y, int w, int h);

    // Pixels for dialog units, with Windows' own rounding.
    int X(int units) const;
    int Y(int units) const;

    // The edge of an icon in pixels.
    static constexpr int IconSize = 32;

private:
    template <class W> W* Place(W* widget, int id, int x, int y, int w, int h);
    template <class W> W* PlaceControl(W* widget, int id, int x, int y, int w, int h);

    QWidget* m_dialog;
    int m_baseX;
    int m_baseY;
};

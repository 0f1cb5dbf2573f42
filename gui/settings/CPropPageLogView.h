#pragma once

#include "gui/settings/COptionPage.h"
#include "settings/LogViewSettings.h"

#include <QColor>

class CColorButton;
class CLogPreview;
class QCheckBox;
class QComboBox;
class QLabel;

// The log view page: the log pane's face, size and text colour, and its background, with a preview.
// Accepting it stores the look; the sheet then shows it in the log pane.
class CPropPageLogView : public COptionPage {
    Q_OBJECT
public:
    explicit CPropPageLogView(QWidget* parent = nullptr);

    bool OnApply() override;

    // The desktop's colours that the two background boxes stand for.
    static QColor SystemButtonFace();
    static QColor SystemWindowColour();

protected:
    void Load() override;

private:
    void OnDefaultFont();
    void OnFaceOrSizeChosen();
    void OnTextColour();
    void OnBackColour();
    void OnDefaultColour();
    void OnWindowColour();
    // Selects the first face that begins with `face` (the first of all when none does) and the size,
    // "11" when it is not listed.
    void SelectFont(const QString& face, const QString& size);
    // Asks for a colour; false when the user cancelled.
    bool ChooseColour(QColor& colour);
    // The preview and the name of the face really drawn follow the controls.
    void UpdatePreview();

    LogViewSettings m_stored;
    QComboBox* m_face;
    QComboBox* m_size;
    CColorButton* m_textColour;
    QCheckBox* m_defaultFont;
    QLabel* m_faceUsed;
    CLogPreview* m_preview;
    CColorButton* m_backColour;
    QCheckBox* m_defaultColour;
    QCheckBox* m_windowColour;
};

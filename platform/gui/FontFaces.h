#pragma once

#include <QFont>
#include <QString>

// Font names stored by the Windows program ("ＭＳ ゴシック", "MS UI Gothic" and their kin) name faces
// that a Linux desktop does not have. They stay stored and shown as they are, and are drawn with
// an installed Japanese face of the same kind: fixed-width for the Gothic, proportional for the UI
// and P faces (IPA Gothic from fonts-ipafont-gothic first, then Noto CJK, VL and Takao Gothic).

// Makes every Windows name draw with its installed counterpart; safe to call more than once.
void InstallFontSubstitutes();

// A fixed-width font for the log: the stored face, followed by the installed Japanese fixed-width
// face, so that Japanese and Latin text come from faces of one size.
QFont FixedWidthFont(const QString& storedFamily, int pointSize);

// The face that really draws Latin text for a stored family, as a settings page shows it.
QString FaceUsedFor(const QString& storedFamily);

// The installed Japanese fixed-width face; empty when none is installed.
QString JapaneseFixedWidthFace();

#pragma once

class QCoreApplication;

// Qt's own texts (standard buttons, context menus of text fields, file dialogs) in Japanese, like
// every text of the program, from Debian's qt6-translations-l10n. False when the catalogue is not
// installed; Qt's texts then stay in English.
bool LoadQtTranslations(QCoreApplication& app);

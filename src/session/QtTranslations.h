#pragma once
// Qt's own texts (the standard buttons of message boxes, the colour and font
// choosers) in Japanese, like every caption of the program. They come from
// Qt's translations (Debian qt6-translations-l10n).

class QTranslator;

// Loads Qt's Japanese texts from Qt's translations folder into `translator`;
// false when the file is not there, and Qt's English texts stay.
bool LoadJapaneseQtTexts(QTranslator& translator);

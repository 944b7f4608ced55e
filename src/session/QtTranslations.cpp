#include "session/QtTranslations.h"

#include <QLibraryInfo>
#include <QTranslator>

bool LoadJapaneseQtTexts(QTranslator& translator) {
  return translator.load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

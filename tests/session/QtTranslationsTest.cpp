// Qt's own buttons and dialogs read in Japanese, like the program's captions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include "session/QtTranslations.h"

namespace {

TEST(QtTranslationsTest, MessageBoxButtonsAndChoosersReadInJapanese) {
  QTranslator translator;
  if (!LoadJapaneseQtTexts(translator))
    GTEST_SKIP() << "qtbase_ja.qm is not in "
                 << QLibraryInfo::path(QLibraryInfo::TranslationsPath).toStdString()
                 << " (Debian package qt6-translations-l10n)";
  QApplication::installTranslator(&translator);
  QMessageBox box(QMessageBox::Question, QString(), "?",
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
  const std::pair<QMessageBox::StandardButton, QString> buttons[] = {
      {QMessageBox::Yes, "はい"},
      {QMessageBox::No, "いいえ"},
      {QMessageBox::Ok, "OK"},
      {QMessageBox::Cancel, "キャンセル"}};
  for (const auto& [button, text] : buttons)
    EXPECT_TRUE(box.button(button)->text().contains(text))
        << box.button(button)->text().toStdString();
  QColorDialog colours;
  colours.setOption(QColorDialog::DontUseNativeDialog);
  EXPECT_NE(colours.windowTitle(), "Select Color");
  QApplication::removeTranslator(&translator);
}

}  // namespace

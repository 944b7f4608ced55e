#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "access/FuncConfig.h"
#include "access/ListGrid.h"
#include "text/Codec.h"

namespace {

void PressKey(QWidget* target, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
}

std::vector<std::string> NumberedTexts() {
  std::vector<std::string> texts;
  for (int i = 0; i < 36; ++i) texts.push_back("text" + std::to_string(i));
  return texts;
}

TEST(FuncKeyLabel, NamesTheKeyAndItsBank) {
  EXPECT_EQ(FuncKeyLabel(0), "F1");
  EXPECT_EQ(FuncKeyLabel(11), "F12");
  EXPECT_EQ(FuncKeyLabel(14), "Shift + F3");
  EXPECT_EQ(FuncKeyLabel(35), "Ctrl  + F12");
  EXPECT_EQ(FuncKeyLabel(36), "F1");
}

TEST(FuncConfigForm, ShowsEveryKeyWithItsLabelAndTheFirstSelected) {
  const std::vector<std::string> texts = NumberedTexts();
  TFuncConfigForm form(texts, true);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("ファンクションキーの設定"));
  ASSERT_EQ(form.FuncList->RowCount(), 36);
  EXPECT_EQ(form.FuncList->GetCell(0, 35), "Ctrl  + F12");
  EXPECT_EQ(form.FuncList->GetCell(1, 35), "text35");
  EXPECT_EQ(form.FuncList->ColumnWidth(0), 100);
  EXPECT_EQ(form.FuncList->ColumnWidth(1), 50);
  EXPECT_EQ(form.FuncList->ItemIndex(), 0);
  EXPECT_EQ(form.Edit->text(), QStringLiteral("text0"));
  EXPECT_TRUE(form.FuncVisible->isChecked());
  EXPECT_TRUE(form.FunctionBarVisible());
}

TEST(FuncConfigForm, ArrowKeysMoveWithinTheListAndDropUnsavedText) {
  TFuncConfigForm form(NumberedTexts(), false);
  PressKey(form.Edit, Qt::Key_Up);
  EXPECT_EQ(form.FuncList->ItemIndex(), 0);
  form.Edit->setText(QStringLiteral("unsaved"));
  PressKey(form.Edit, Qt::Key_Down);
  EXPECT_EQ(form.FuncList->ItemIndex(), 1);
  EXPECT_EQ(form.Edit->text(), QStringLiteral("text1"));
  EXPECT_EQ(form.KeyTexts()[0], "text0");

  form.FuncList->SetItemIndex(35);
  EXPECT_EQ(form.Edit->text(), QStringLiteral("text35"));
  PressKey(form.FuncList, Qt::Key_Down);
  EXPECT_EQ(form.FuncList->ItemIndex(), 35);
  PressKey(form.FuncList, Qt::Key_Up);
  EXPECT_EQ(form.FuncList->ItemIndex(), 34);
}

TEST(FuncConfigForm, EnterStoresTheTextWithoutClosingAndCancelKeepsTheOriginal) {
  const std::vector<std::string> texts = NumberedTexts();
  TFuncConfigForm form(texts, true);
  form.show();
  form.FuncList->SetItemIndex(14);
  form.Edit->setText(QStringLiteral("こんにちは"));
  PressKey(form.Edit, Qt::Key_Return);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.KeyTexts()[14], Sjis("こんにちは"));
  EXPECT_EQ(form.FuncList->GetCell(1, 14), Sjis("こんにちは"));

  form.Cancel->click();
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_EQ(texts, NumberedTexts());
}

TEST(FuncConfigForm, UpdateButtonAndOkHandBackTextsAndBarVisibility) {
  TFuncConfigForm form(NumberedTexts(), true);
  form.show();
  form.FuncList->SetItemIndex(2);
  form.Edit->setText(QStringLiteral("new"));
  form.Button3->click();
  form.FuncVisible->setChecked(false);
  form.OK->click();
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(form.KeyTexts()[2], "new");
  EXPECT_EQ(form.KeyTexts().size(), 36u);
  EXPECT_FALSE(form.FunctionBarVisible());
}

}  // namespace

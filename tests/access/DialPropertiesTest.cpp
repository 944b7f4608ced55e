#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "access/DialProperties.h"
#include "support/TempHome.h"

namespace {

TEST(DialPropertiesTest, PreviewsTheNumberAndStoresTheLocationOnOK) {
  TTempHome home;
  TDialLocation location;
  location.AreaCode = "3";
  WriteDialLocation(location);

  TDialPropertiesForm form("+81 (6) 1234-5678");
  auto* preview = form.findChild<QLabel*>("Preview");
  ASSERT_NE(preview, nullptr);
  EXPECT_EQ(preview->text(), "0612345678");
  form.findChild<QLineEdit*>("OutsideLine")->setText("9");
  form.findChild<QLineEdit*>("AreaCode")->setText("6");
  form.findChild<QCheckBox*>("PulseDialing")->setChecked(true);
  EXPECT_EQ(preview->text(), "9,12345678");

  form.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  EXPECT_EQ(form.result(), QDialog::Accepted);
  const TDialLocation stored = ReadDialLocation();
  EXPECT_EQ(stored.AreaCode, "6");
  EXPECT_EQ(stored.OutsideLine, "9");
  EXPECT_TRUE(stored.PulseDialing);
}

TEST(DialPropertiesTest, CancelStoresNothing) {
  TTempHome home;
  TDialPropertiesForm form("+81 (6) 1234-5678");
  form.findChild<QLineEdit*>("AreaCode")->setText("6");
  form.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
  EXPECT_EQ(ReadDialLocation().AreaCode, "");
}

}  // namespace

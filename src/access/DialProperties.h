#pragma once
// The dialing-properties dialog: edits the dialing location (where the user
// dials from, the prefixes and the dial method) and previews how the number
// being edited will be dialled. OK stores the location.

#include <QDialog>
#include <string>

#include "comm/TapiLine.h"

class QCheckBox;
class QLabel;
class QLineEdit;

class TDialPropertiesForm : public QDialog {
 public:
  // canonical: the address to preview, "+CC (AREA) NUMBER".
  explicit TDialPropertiesForm(const std::string& canonical, QWidget* parent = nullptr);

  // The location as the controls show it now.
  TDialLocation Location() const;

 private:
  QLineEdit* AddField(const QString& caption, const char* name, const std::string& value);
  void UpdatePreview();
  void OKButtonClick();

  const std::string FCanonical;
  QLineEdit* CountryCode;
  QLineEdit* AreaCode;
  QLineEdit* LongDistancePrefix;
  QLineEdit* InternationalPrefix;
  QLineEdit* OutsideLine;
  QCheckBox* PulseDialing;
  QLabel* Preview;
};

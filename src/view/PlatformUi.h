#pragma once
// The seam between the program and the desktop's standard dialogs and shell:
// message boxes, Yes/No questions, input boxes, file, colour and font
// choosers, and opening a URL. Tests replace it to answer the dialogs.

#include <QColor>
#include <QFont>
#include <QString>
#include <optional>

class TPlatformUi {
 public:
  virtual ~TPlatformUi() = default;
  // A message box without a title and with an OK button.
  virtual void ShowMessage(const QString& text) = 0;
  // A Yes/No question without a title; true for Yes.
  virtual bool Confirm(const QString& text) = 0;
  // The same with No as the answer that Enter gives.
  virtual bool ConfirmDefaultNo(const QString& text) { return Confirm(text); }
  // An input box; `value` is the start text and, on OK, the answer.
  virtual bool InputQuery(const QString& caption, const QString& prompt, QString& value) = 0;
  // A file open dialog; empty when cancelled. `filter` as Qt takes it.
  virtual QString OpenFileName(const QString& caption, const QString& folder,
                               const QString& filter) = 0;
  virtual std::optional<QColor> ChooseColor(const QColor& initial) = 0;
  virtual std::optional<QFont> ChooseFont(const QFont& initial) = 0;
  // Opens a URL (a web address, "mailto:", a file) with the desktop's handler.
  virtual bool OpenUrl(const QString& url) = 0;
};

// The seam in force: the Qt dialogs unless a test has set another.
TPlatformUi& PlatformUi();
// Replaces the seam; nullptr restores the Qt dialogs. Not owned.
void SetPlatformUi(TPlatformUi* ui);

#include "view/PlatformUi.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace {

class TQtPlatformUi final : public TPlatformUi {
 public:
  void ShowMessage(const QString& text) override {
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, Parent());
    box.exec();
  }
  bool Confirm(const QString& text) override { return Ask(text, QMessageBox::Yes); }
  bool ConfirmDefaultNo(const QString& text) override { return Ask(text, QMessageBox::No); }
  bool InputQuery(const QString& caption, const QString& prompt, QString& value) override {
    bool ok = false;
    QString answer =
        QInputDialog::getText(Parent(), caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok) value = answer;
    return ok;
  }
  QString OpenFileName(const QString& caption, const QString& folder,
                       const QString& filter) override {
    return QFileDialog::getOpenFileName(Parent(), caption, folder, filter);
  }
  std::optional<QColor> ChooseColor(const QColor& initial) override {
    QColor color = QColorDialog::getColor(initial, Parent());
    if (!color.isValid()) return std::nullopt;
    return color;
  }
  std::optional<QFont> ChooseFont(const QFont& initial) override {
    bool ok = false;
    QFont font = QFontDialog::getFont(&ok, initial, Parent());
    if (!ok) return std::nullopt;
    return font;
  }
  bool OpenUrl(const QString& url) override {
    return QDesktopServices::openUrl(QUrl::fromUserInput(url));
  }

 private:
  static bool Ask(const QString& text, QMessageBox::StandardButton defaultButton) {
    QMessageBox box(QMessageBox::Question, QString(), text, QMessageBox::Yes | QMessageBox::No,
                    Parent());
    box.setDefaultButton(defaultButton);
    return box.exec() == QMessageBox::Yes;
  }
  static QWidget* Parent() { return QApplication::activeWindow(); }
};

TPlatformUi* current = nullptr;

}  // namespace

TPlatformUi& PlatformUi() {
  static TQtPlatformUi qtUi;
  return current ? *current : qtUi;
}

void SetPlatformUi(TPlatformUi* ui) {
  current = ui;
}

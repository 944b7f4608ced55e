#pragma once
// The view settings panel at the right of the main window: the colours of
// every kind of text, the view and input fonts, 80-column folding, line
// spacing, animation, emphasis and the list of emphasised words. Every
// change takes effect on the views at once; the window saves the terminal
// view's values when the program ends.

#include <QFont>
#include <QFrame>
#include <array>
#include <functional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class TQuokkaView;

class TConfigPanel : public QFrame {
 public:
  TConfigPanel(TQuokkaView& terminalView, TQuokkaView& logView, QWidget* parent = nullptr);

  // Fills the controls from the terminal view's current values; the window
  // calls it before it shows the panel.
  void ShowViewSettings();

  // "閉じる(&Z)": the window wires it.
  QPushButton* CloseButton() const { return Button15; }

  // The input line's font, asked when its font chooser opens.
  std::function<QFont()> InputFont;
  // A font was chosen for the terminal view.
  std::function<void()> OnViewFontChange;
  // A font was chosen for the input line.
  std::function<void(const QFont& Font)> OnInputFontChange;
  // An emphasised word was added.
  std::function<void()> OnAccentAdd;

 private:
  static constexpr int kColorButtons = 10;
  static constexpr int kFontButtons = 2;

  QWidget* BuildColorPage();
  QWidget* BuildOtherPage();
  void ShowButtonColor(int tag, const QColor& color);
  void Button1Click(int tag);
  void Button11Click(int tag);
  void CheckBox1Click();
  void PitchChange();
  void MotionEnableClick();
  void AccentEnableClick();
  void Button13Click();
  void Button14Click();

  TQuokkaView& TerminalView;
  TQuokkaView& LogView;

  QPushButton* Button15;
  QTabWidget* PageControl1;
  std::array<QPushButton*, kColorButtons> FColorButtons{};
  std::array<QPushButton*, kFontButtons> FFontButtons{};
  QCheckBox* CheckBox1;
  QLineEdit* Pitch;
  QCheckBox* MotionEnable;
  QCheckBox* AccentEnable;
  QListWidget* AccentList;
  QPushButton* Button13;
  QPushButton* Button14;
};

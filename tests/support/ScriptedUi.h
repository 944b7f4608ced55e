#pragma once
// A platform seam for tests: records every message, question and opened URL,
// and answers from queues set up by the test.

#include <QStringList>
#include <deque>
#include <functional>

#include "view/PlatformUi.h"

class TScriptedUi final : public TPlatformUi {
 public:
  TScriptedUi() { SetPlatformUi(this); }
  ~TScriptedUi() override { SetPlatformUi(nullptr); }

  QStringList messages;
  QStringList questions;
  QStringList openedUrls;
  QStringList inputCaptions;
  std::deque<bool> confirmAnswers;            // empty: answers Yes
  std::deque<std::optional<QString>> inputs;  // nullopt: Cancel; empty: Cancel
  std::deque<QString> fileNames;              // empty: Cancel
  std::deque<std::optional<QColor>> colors;   // empty: Cancel
  std::deque<std::optional<QFont>> fonts;     // empty: Cancel
  QList<QColor> offeredColors;                // what each chooser started with
  QList<QFont> offeredFonts;
  // Runs while a message box is shown, after the message is recorded.
  std::function<void(const QString&)> whileMessageShown;

  void ShowMessage(const QString& text) override {
    messages << text;
    if (whileMessageShown) whileMessageShown(text);
  }
  bool Confirm(const QString& text) override {
    questions << text;
    return Take(confirmAnswers, true);
  }
  bool InputQuery(const QString& caption, const QString& prompt, QString& value) override {
    inputCaptions << caption;
    questions << prompt;
    if (inputs.empty()) return false;
    const bool answered = inputs.front().has_value();
    if (answered) value = *inputs.front();
    inputs.pop_front();
    return answered;
  }
  QString OpenFileName(const QString&, const QString&, const QString&) override {
    return Take(fileNames, QString());
  }
  std::optional<QColor> ChooseColor(const QColor& initial) override {
    offeredColors << initial;
    return Take(colors, std::optional<QColor>());
  }
  std::optional<QFont> ChooseFont(const QFont& initial) override {
    offeredFonts << initial;
    return Take(fonts, std::optional<QFont>());
  }
  bool OpenUrl(const QString& url) override {
    openedUrls << url;
    return true;
  }

 private:
  template <typename T>
  static T Take(std::deque<T>& queue, T fallback) {
    if (queue.empty()) return fallback;
    T value = queue.front();
    queue.pop_front();
    return value;
  }
};

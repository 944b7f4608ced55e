#pragma once
// Mouse, wheel and key events sent to a widget as the user's would arrive.
// Points are in the widget's coordinates.

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

inline void SendMouse(QWidget* target, QEvent::Type type, QPoint at,
                      Qt::MouseButton button = Qt::LeftButton,
                      Qt::MouseButtons held = Qt::LeftButton) {
  QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

inline void SendClick(QWidget* target, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  SendMouse(target, QEvent::MouseButtonPress, at, button, button);
  SendMouse(target, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

inline void SendDoubleClick(QWidget* target, QPoint at) {
  SendClick(target, at);
  SendMouse(target, QEvent::MouseButtonDblClick, at);
  SendMouse(target, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

// A wheel turn; 120 is one notch, positive away from the user (back).
inline void SendWheel(QWidget* target, int angle) {
  const QPoint at(10, 10);
  QWheelEvent event(QPointF(at), QPointF(target->mapToGlobal(at)), QPoint(), QPoint(0, angle),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &event);
}

inline void SendKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers);
  QApplication::sendEvent(target, &release);
}

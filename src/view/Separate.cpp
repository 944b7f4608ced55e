#include "view/Separate.h"

#include <QBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

// The band shown during a drag: a child of the bar's parent, raised above its
// siblings, that inverts the pixels beneath it. Hiding or moving it lets the
// widgets beneath repaint, so it leaves nothing behind.
class TSeparaterBand : public QWidget {
 public:
  explicit TSeparaterBand(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.fillRect(rect(), Qt::white);
  }
};

TSeparater::TSeparater(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  ApplyKind();
}

TSeparater::~TSeparater() {
  delete FBand;
}

void TSeparater::SetKind(TKind kind) {
  FKind = kind;
  ApplyKind();
  PlaceAfterReSizeCtrl();
}

void TSeparater::SetLineWidth(int32_t width) {
  if (width < 0) return;
  FHalfWidth = width / 2;
  FLineWidth = width;
  ApplyKind();
}

void TSeparater::SetReSizeCtrl(QWidget* control) {
  FReSizeCtrl = control;
  PlaceAfterReSizeCtrl();
}

void TSeparater::SetVertCursor(Qt::CursorShape shape) {
  FVertCursor = shape;
  ApplyKind();
}

void TSeparater::SetHorzCursor(Qt::CursorShape shape) {
  FHorzCursor = shape;
  ApplyKind();
}

QColor TSeparater::Color() const {
  return palette().color(QPalette::Window);
}

void TSeparater::SetColor(const QColor& color) {
  QPalette colors = palette();
  colors.setColor(QPalette::Window, color);
  setPalette(colors);
}

void TSeparater::DoEndDrag(int32_t Pos, int32_t Cg) {
  if (OnEndDrag) OnEndDrag(this, Pos, Cg);
}

void TSeparater::DoStartDrag() {
  if (OnStartDrag) OnStartDrag(this);
}

void TSeparater::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || FDragging || !parentWidget()) return;
  DoStartDrag();
  FDragging = true;
  FDragPos = PositionFor(event->position().toPoint());
  ShowBand();
}

void TSeparater::mouseMoveEvent(QMouseEvent* event) {
  if (!FDragging) return;
  FDragPos = ClampToMargins(PositionFor(event->position().toPoint()));
  ShowBand();
}

void TSeparater::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !FDragging) return;
  FDragging = false;
  HideBand();
  FDragPos = std::min(FDragPos, FarthestPosition());
  DoEndDrag(FDragPos, FDragPos - (FKind == dkVertical ? y() : x()));
  ResizeControl();
}

void TSeparater::hideEvent(QHideEvent* event) {
  // A hidden bar loses the mouse and would never see the release: drop the
  // drag without resizing anything.
  if (FDragging) {
    FDragging = false;
    HideBand();
  }
  QWidget::hideEvent(event);
}

void TSeparater::ApplyKind() {
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  if (FKind == dkVertical) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFixedHeight(FLineWidth);
    setCursor(FVertCursor);
  } else {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setFixedWidth(FLineWidth);
    setCursor(FHorzCursor);
  }
}

void TSeparater::PlaceAfterReSizeCtrl() {
  QWidget* parent = parentWidget();
  if (!FReSizeCtrl || !parent || FReSizeCtrl->parentWidget() != parent) return;
  if (auto* box = qobject_cast<QBoxLayout*>(parent->layout());
      box && box->indexOf(FReSizeCtrl) >= 0) {
    if (box->indexOf(this) == box->indexOf(FReSizeCtrl) + 1) return;
    box->removeWidget(this);
    box->insertWidget(box->indexOf(FReSizeCtrl) + 1, this);
    return;
  }
  const QRect control = FReSizeCtrl->geometry();
  if (FKind == dkVertical)
    setGeometry(control.x(), control.bottom() + 1, control.width(), FLineWidth);
  else
    setGeometry(control.right() + 1, control.y(), FLineWidth, control.height());
}

int32_t TSeparater::PositionFor(const QPoint& pointer) const {
  return FKind == dkVertical ? y() + pointer.y() - FHalfWidth : x() + pointer.x() - FHalfWidth;
}

int32_t TSeparater::ClampToMargins(int32_t position) const {
  const int32_t extent = FKind == dkVertical ? parentWidget()->height() : parentWidget()->width();
  if (position < FUpperMgn) position = FUpperMgn;
  if (position + FLowerMgn > extent) position = extent - FLowerMgn;
  return std::min(position, FarthestPosition());
}

// The parent's layout will not shrink the widgets after the bar below their
// minimum size: a bar placed farther would be pushed back and the resized
// control would cover them.
int32_t TSeparater::FarthestPosition() const {
  const bool vertical = FKind == dkVertical;
  const QWidget* parent = parentWidget();
  int32_t room = FLineWidth;
  if (auto* box = qobject_cast<QBoxLayout*>(parent->layout()); box && box->indexOf(this) >= 0) {
    const QMargins margins = box->contentsMargins();
    room += vertical ? margins.bottom() : margins.right();
    for (int i = box->indexOf(this) + 1; i < box->count(); ++i) {
      const QLayoutItem* item = box->itemAt(i);
      if (item->isEmpty()) continue;
      room += (vertical ? item->minimumSize().height() : item->minimumSize().width()) +
              std::max(box->spacing(), 0);
    }
  }
  return (vertical ? parent->height() : parent->width()) - room;
}

void TSeparater::ShowBand() {
  if (!FBand) FBand = new TSeparaterBand(parentWidget());
  if (FKind == dkVertical)
    FBand->setGeometry(x(), FDragPos, width(), FLineWidth);
  else
    FBand->setGeometry(FDragPos, y(), FLineWidth, height());
  FBand->raise();
  FBand->show();
}

void TSeparater::HideBand() {
  if (FBand) FBand->hide();
}

void TSeparater::ResizeControl() {
  if (!FReSizeCtrl) return;
  // A fixed size holds against the parent's layout; a release above the
  // control's own edge gives it no size rather than a negative one.
  if (FKind == dkVertical)
    FReSizeCtrl->setFixedHeight(std::max(0, FDragPos - FReSizeCtrl->y()));
  else
    FReSizeCtrl->setFixedWidth(std::max(0, FDragPos - FReSizeCtrl->x()));
  PlaceAfterReSizeCtrl();
}

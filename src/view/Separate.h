#pragma once
// TSeparater: a thin bar that the user drags to resize the control beside it.
// While the left button is held, the new position is shown as an inverted
// band over the parent; the control is resized only when the button is
// released.

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

class TSeparaterBand;

class TSeparater : public QWidget {
  Q_OBJECT

 public:
  // dkVertical: the bar lies horizontally, moves up and down and sets the
  // height of the control above it. dkHorizontal: the bar stands upright,
  // moves left and right and sets the width of the control to its left.
  enum TKind { dkHorizontal = 0, dkVertical = 1 };

  using TNotifyEvent = std::function<void(QObject* Sender)>;
  // Pos: the band's position in the parent; Cg: its distance from the bar.
  using TDragEvent = std::function<void(QObject* Sender, int32_t Pos, int32_t Cg)>;

  explicit TSeparater(QWidget* parent = nullptr);
  ~TSeparater() override;

  TKind Kind() const { return FKind; }
  // Gives the bar the thickness and pointer shape of the kind and places it
  // after ReSizeCtrl again.
  void SetKind(TKind kind);

  // Smallest position of the band from the parent's top (or left) edge.
  int32_t UpperMgn() const { return FUpperMgn; }
  void SetUpperMgn(int32_t margin) { FUpperMgn = margin; }
  // Smallest distance of the band from the parent's bottom (or right) edge.
  int32_t LowerMgn() const { return FLowerMgn; }
  void SetLowerMgn(int32_t margin) { FLowerMgn = margin; }

  // Thickness of the bar and of the band.
  int32_t LineWidth() const { return FLineWidth; }
  void SetLineWidth(int32_t width);

  // The control that a drag resizes; not owned, cleared when it is destroyed.
  QWidget* ReSizeCtrl() const { return FReSizeCtrl; }
  // Places the bar directly after `control`: next to it in the parent's box
  // layout, or at its bottom (right) edge when the parent has none.
  void SetReSizeCtrl(QWidget* control);

  Qt::CursorShape VertCursor() const { return FVertCursor; }
  void SetVertCursor(Qt::CursorShape shape);
  Qt::CursorShape HorzCursor() const { return FHorzCursor; }
  void SetHorzCursor(Qt::CursorShape shape);

  QColor Color() const;
  void SetColor(const QColor& color);

  bool Dragging() const { return FDragging; }
  // The band's position in parent coordinates during and after a drag.
  int32_t DragPos() const { return FDragPos; }

  TNotifyEvent OnStartDrag;
  TDragEvent OnEndDrag;

 protected:
  virtual void DoEndDrag(int32_t Pos, int32_t Cg);
  virtual void DoStartDrag();

  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void ApplyKind();
  void PlaceAfterReSizeCtrl();
  // The band position for a pointer at `pointer` in bar coordinates.
  int32_t PositionFor(const QPoint& pointer) const;
  int32_t ClampToMargins(int32_t position) const;
  // The farthest band position that leaves the widgets after the bar room.
  int32_t FarthestPosition() const;
  void ShowBand();
  void HideBand();
  void ResizeControl();

  TKind FKind = dkHorizontal;
  int32_t FUpperMgn = 2;
  int32_t FLowerMgn = 5;
  int32_t FHalfWidth = 2;
  int32_t FDragPos = 0;
  int32_t FLineWidth = 4;
  bool FDragging = false;
  QPointer<TSeparaterBand> FBand;
  Qt::CursorShape FVertCursor = Qt::SplitVCursor;
  Qt::CursorShape FHorzCursor = Qt::SplitHCursor;
  QPointer<QWidget> FReSizeCtrl;
};

#pragma once
// A push button, check box or radio button painted from a skin: one picture
// holding equal frames stacked downwards (normal, pressed, hovered,
// disabled, focus, mask).  The mask gives the button its shape: clicks
// outside it reach whatever lies behind.  The button keeps its own check
// state; a radio button that becomes checked tells the other buttons of its
// dialog group to clear theirs (a posted kRadioUncheckMessage), so two
// groups can share one parent.
#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QRegion>
#include <cstdint>

// Button styles of a dialog template, as far as the skinned button reads them.
constexpr uint32_t BS_PUSHBUTTON = 0x0;
constexpr uint32_t BS_AUTOCHECKBOX = 0x3;
constexpr uint32_t BS_AUTORADIOBUTTON = 0x9;
constexpr uint32_t WS_GROUP = 0x00020000;  // first control of a dialog group

class CxSkinButton : public QAbstractButton {
  Q_OBJECT
 public:
  enum Kind { kPushButton = 0, kCheckBox = 2, kRadioButton = 4 };
  enum DrawMode { kDrawNatural = 0, kDrawStretch = 1, kDrawTile = 2 };

  // `style` as in the dialog template: the button kind and WS_GROUP.
  CxSkinButton(int controlId, uint32_t style, QWidget* parent);
  ~CxSkinButton() override;

  // Frame numbers count from 1; 0 leaves that picture empty.  False when
  // the bitmap cannot be loaded or is too small for a frame asked for.
  bool SetSkin(int bitmapId, int frameWidth, int frameHeight, int normal, int pressed, int hover,
               int disabled, int focus, int mask, int drawMode, int border, int focusMargin);
  void SetToolTipText(const QString& text);

  // Checked state: push buttons stay unchecked.
  void SetCheck(int check);
  int GetCheck() const { return m_checked ? 1 : 0; }

  Kind ButtonKind() const { return m_kind; }
  bool IsHovering() const { return m_hover; }
  const QRegion& Region() const { return m_region; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  bool hitButton(const QPoint& pos) const override;
  bool event(QEvent* event) override;

 private:
  const QPixmap& PictureForState() const;
  void DrawBitmap(QPainter& painter, const QPixmap& picture, const QRect& rect) const;
  void CheckByUser();
  void UncheckOthersInGroup();

  bool m_checked = false;
  Kind m_kind = kPushButton;
  bool m_groupStart = false;
  bool m_hover = false;
  bool m_pressed = false;
  QPixmap m_normal;
  QPixmap m_pressedPicture;
  QPixmap m_disabled;
  QPixmap m_hoverPicture;
  QPixmap m_focus;
  bool m_hasMask = false;
  int m_focusMargin = 0;
  QColor m_textColor;
  QRegion m_region;
  int m_border = 0;
  int m_drawMode = kDrawStretch;
};

#pragma once
// Stands in for the playback engine's widget in the main window until that
// widget joins the build: a black area with the calls the window's layout
// makes on it.
#include <QWidget>

class VideoContainerPlaceholder : public QWidget {
  Q_OBJECT
 public:
  VideoContainerPlaceholder(int controlId, QWidget* parent);

  // Lays out the picture inside the area (nothing to lay out here).
  void RecalcLayout() {}
  // True while the source's pictures are square (a fisheye camera).
  bool IsSquareSource() const { return m_squareSource; }
  void SetSquareSource(bool square) { m_squareSource = square; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool m_squareSource = false;
};

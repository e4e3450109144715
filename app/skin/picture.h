#pragma once
// A compressed picture (JPEG) from the program's resources, drawn
// stretched into any rectangle.  Faults of the resources themselves are
// shown to the user in a box captioned "CPicture Error".
#include <QImage>
#include <QPainter>
#include <QRect>
#include <cstddef>

class CPicture {
 public:
  CPicture() = default;
  virtual ~CPicture();
  CPicture(const CPicture&) = delete;
  CPicture& operator=(const CPicture&) = delete;

  // `type` is the resource type ("JPG").  Replaces what was loaded before.
  bool Load(int resourceId, const char* type);
  // True when the data gave a picture.
  bool LoadFromMemory(const void* data, size_t size);
  // Stretches the whole picture into the rectangle.  False without a
  // painter or a picture.
  bool Draw(QPainter* painter, const QRect& rect) const;
  void Free();

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  size_t Size() const { return m_size; }
  bool IsLoaded() const { return !m_picture.isNull(); }

 private:
  QImage m_picture;
  int m_height = 0;
  size_t m_size = 0;
  int m_width = 0;
};

#pragma once
// The video renderer: copies each decoded picture into a surface of its own
// size, stretches it onto the merge surface (narrow pictures widened to 720,
// 240- and 288-line pictures doubled), writes the media information text
// (title and recording time) in the chosen corner, and hands the result to
// the video window, which shows it scaled to its client area.
//
// Draw runs on the play thread, Repaint and SetOsdPosition on the
// user-interface thread; the owner serialises them with its own lock.
#include <cstdint>
#include <memory>

#include "platform/display_device.h"

class CQxRender {
 public:
  struct Point {
    int x = 0;
    int y = 0;
  };

  CQxRender() = default;
  virtual ~CQxRender();
  CQxRender(const CQxRender&) = delete;
  CQxRender& operator=(const CQxRender&) = delete;

  // Pictures are bitsPerPixel deep (32: bytes B, G, R, X), or packed 4:2:2
  // YUV when overlay is non-zero.  Takes effect at the next Init.
  void SetOutputFormat(int bitsPerPixel, int overlay);

  // Makes the device and surfaces for pictures of width x height shown in
  // the window.  1 on success; 0 when the device, the window binding or the
  // window surface cannot be had; the surface's (negative) result when the
  // picture or merge surface cannot be made.
  int Init(platform::VideoWindow* window, int width, int height);

  // Shows one picture: height rows of width pixels, top-down, unpadded.
  // Parts beyond the surfaces made by Init are left out.  1 on success; 0
  // when Init has not made every surface, the picture is empty or the
  // picture surface cannot be locked; the (negative) result of GetDC when
  // the text cannot be drawn.  fpsText is accepted and not drawn.
  int Draw(int width, int height, const uint8_t* pixels, const wchar_t* timeText,
           const wchar_t* titleText, const wchar_t* fpsText);

  // Has the window paint the last picture again.  Returns 1.
  int Repaint();

  // 1 left-top, 2 right-top, 3 left-bottom, 4 right-bottom; any other value
  // turns the text off.  Returns the position.
  int SetOsdPosition(int position);

  // Places text line 0 (first) or 1 (second) of textLength characters in a
  // font fontHeight pixels high on a width x height surface, by the OSD
  // position; the other line's position becomes (0, 0).
  void CalcOsdRect(int line, int width, int height, int fontHeight, int textLength);

  // Drops the surfaces, the font and the device.  Safe at any time.
  void Release();

  Point FirstLinePosition() const { return firstLine_; }
  Point SecondLinePosition() const { return secondLine_; }

 private:
  void CopyPicture(const platform::Surface& target, const platform::Surface::Locked& locked, int width,
                   int height, const uint8_t* pixels) const;
  int DrawOsd(const wchar_t* timeText, const wchar_t* titleText);

  int depth_ = 32;
  int overlay_ = 0;
  int osdPosition_ = 0;
  Point firstLine_;
  Point secondLine_;
  std::unique_ptr<platform::DisplayDevice> device_;
  std::unique_ptr<platform::WindowSurface> m_pDDSPrimary;
  std::unique_ptr<platform::Surface> m_pDDSVideo_D1;
  std::unique_ptr<platform::Surface> m_pDDSMergeImage;
  platform::VideoWindow* window_ = nullptr;
  int osdOn_ = 0;
  // Made at the first Draw after Init and kept until Release.
  std::unique_ptr<platform::Font> font_;
};

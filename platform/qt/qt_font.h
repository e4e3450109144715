#pragma once
// Fonts for text on surfaces.  A face the machine lacks is replaced by a
// sans-serif one of the same line height and weight.  Fonts are resolved
// once per description and process, not per use.
#include <QFont>
#include <memory>

#include "platform/surface.h"

namespace platform {

class QtFont : public Font {
 public:
  explicit QtFont(QFont font) : font_(std::move(font)) {}
  const QFont& font() const { return font_; }
  int TextWidth(std::wstring_view text) const override;

 private:
  QFont font_;
};

// Needs a QGuiApplication.  Any thread.
std::unique_ptr<Font> MakeQtFont(const FontSpec& spec);

}  // namespace platform

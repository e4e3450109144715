#include "platform/qt/qt_font.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <map>
#include <mutex>
#include <tuple>

namespace platform {
namespace {

// The narrowest a face is condensed to when its text must fit a width.
constexpr int kMinStretch = 50;

QString ToQString(std::wstring_view text) {
  return QString::fromWCharArray(text.data(), static_cast<qsizetype>(text.size()));
}

int LineHeight(const QFont& font) { return QFontMetrics(font).height(); }

// The largest pixel size whose line (ascent + descent) is no taller than
// the cell height.
void FitCellHeight(QFont& font, int cellHeight) {
  int pixelSize = std::max(cellHeight, 1);
  font.setPixelSize(pixelSize);
  const int natural = LineHeight(font);
  if (natural > 0 && natural != cellHeight) {
    pixelSize = std::max(1, pixelSize * cellHeight / natural);
    font.setPixelSize(pixelSize);
  }
  while (pixelSize > 1 && LineHeight(font) > cellHeight) font.setPixelSize(--pixelSize);
  while (pixelSize < 4 * cellHeight) {
    QFont larger(font);
    larger.setPixelSize(pixelSize + 1);
    if (LineHeight(larger) > cellHeight) break;
    font = larger;
    ++pixelSize;
  }
}

void FitWidth(QFont& font, const QString& text, int width) {
  const int natural = QFontMetrics(font).horizontalAdvance(text);
  if (natural <= width || natural <= 0) return;
  int stretch = std::max(kMinStretch, 100 * width / natural);
  font.setStretch(stretch);
  while (stretch > kMinStretch && QFontMetrics(font).horizontalAdvance(text) > width) {
    font.setStretch(--stretch);
  }
}

QFont Resolve(const FontSpec& spec) {
  const QString face = ToQString(spec.face);
  QFont font;
  // Text drawn on pictures keeps hard edges so that it reads on any
  // background, as text on a surface does.
  font.setStyleHint(QFont::SansSerif, QFont::NoAntialias);
  font.setFamilies(QFontDatabase::hasFamily(face) ? QStringList{face}
                                                  : QStringList{QStringLiteral("DejaVu Sans")});
  font.setWeight(static_cast<QFont::Weight>(std::clamp(spec.weight, 100, 900)));
  FitCellHeight(font, spec.cellHeight);
  if (!spec.fitText.empty() && spec.fitWidth > 0) FitWidth(font, ToQString(spec.fitText), spec.fitWidth);
  return font;
}

using Key = std::tuple<int, int, std::wstring, std::wstring, int>;

}  // namespace

int QtFont::TextWidth(std::wstring_view text) const {
  return QFontMetrics(font_).horizontalAdvance(ToQString(text));
}

namespace {

std::mutex& CacheMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<Key, QFont>& Cache() {
  static std::map<Key, QFont> resolved;
  return resolved;
}

// Fonts must not outlive the application's font database.
void ClearCache() {
  std::lock_guard lock(CacheMutex());
  Cache().clear();
}

}  // namespace

std::unique_ptr<Font> MakeQtFont(const FontSpec& spec) {
  const Key key{spec.cellHeight, spec.weight, spec.face, spec.fitText, spec.fitWidth};
  std::lock_guard lock(CacheMutex());
  std::map<Key, QFont>& cache = Cache();
  auto it = cache.find(key);
  if (it == cache.end()) {
    if (cache.empty()) qAddPostRoutine(ClearCache);
    it = cache.emplace(key, Resolve(spec)).first;
  }
  return std::make_unique<QtFont>(it->second);
}

}  // namespace platform

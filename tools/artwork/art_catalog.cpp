#include "tools/artwork/art_catalog.h"

#include <QFile>
#include <QImageWriter>
#include <QTextStream>
#include <cstdio>

namespace art {

void Catalog::Add(const QString& type, const QString& key, const QString& file,
                  const QImage& image) {
  m_entries.push_back({type, key, file, image});
}

bool Catalog::Write(const QDir& out) const {
  for (const Entry& entry : m_entries) {
    const QString path = out.filePath(entry.file);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
      std::fprintf(stderr, "cannot make the folder for %s\n", qPrintable(path));
      return false;
    }
    QImageWriter writer(path);
    if (entry.type == QLatin1String("JPG")) {
      writer.setFormat("jpg");
      writer.setQuality(95);
    } else {
      writer.setFormat("png");
    }
    if (!writer.write(entry.image)) {
      std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path),
                   qPrintable(writer.errorString()));
      return false;
    }
  }

  QFile qrc(out.filePath(QStringLiteral("orlenta.qrc")));
  if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(qrc.fileName()));
    return false;
  }
  QTextStream list(&qrc);
  list << "<!-- Made by tools/artwork: the program's pictures by resource type and number. -->\n";
  list << "<RCC>\n  <qresource prefix=\"/\">\n";
  for (const Entry& entry : m_entries) {
    list << "    <file alias=\"" << entry.type << '/' << entry.key << "\">" << entry.file
         << "</file>\n";
  }
  list << "  </qresource>\n</RCC>\n";
  return list.status() == QTextStream::Ok;
}

}  // namespace art

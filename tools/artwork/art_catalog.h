#pragma once
// The artwork files the tool makes: each picture with its resource type
// and number, the file it goes to under res/, and the resource list that
// compiles them into the program.
#include <QDir>
#include <QImage>
#include <QString>
#include <vector>

namespace art {

class Catalog {
 public:
  // `type` is "JPG", "BITMAP" or "ICON"; `key` the resource name under it
  // ("168", or "128/32" for one size of the icon).
  void Add(const QString& type, const QString& key, const QString& file, const QImage& image);
  // Writes every picture and orlenta.qrc; false (with a message) on failure.
  bool Write(const QDir& out) const;

 private:
  struct Entry {
    QString type, key, file;
    QImage image;
  };
  std::vector<Entry> m_entries;
};

}  // namespace art

#include "app/resources.h"

#include <QDir>

#include "app/resource.h"

// The resources live in a static library; without this reference the
// linker would leave their registration out.  (Outside any namespace: the
// macro declares the registration function.)
static void RegisterResources() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(orlenta);
    return true;
  }();
  (void)registered;
}

QString ResourcePath(const char* type, int id) {
  RegisterResources();
  return QStringLiteral(":/%1/%2").arg(QLatin1String(type)).arg(id);
}

QIcon LoadProgramIcon() {
  QIcon icon;
  const QDir sizes(ResourcePath("ICON", artwork::kIcon));
  for (const QString& size : sizes.entryList(QDir::Files)) icon.addFile(sizes.filePath(size));
  return icon;
}

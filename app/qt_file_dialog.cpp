#include "app/qt_file_dialog.h"

#include <QFileSystemModel>

namespace {

QStringList ModelPatterns(const FileFilter& filter) {
  QStringList patterns;
  for (const QString& pattern : filter.patterns)
    patterns << (pattern == QStringLiteral("*.*") ? QStringLiteral("*") : pattern);
  return patterns;
}

}  // namespace

void PrepareFileDialog(QFileDialog& dialog, const FileDialogRequest& request) {
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dialog.setFileMode(request.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & OFN_OVERWRITEPROMPT));
  if (!request.defaultExtension.isEmpty()) dialog.setDefaultSuffix(request.defaultExtension);
  if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
  dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);

  QStringList descriptions;
  for (const FileFilter& filter : request.filters) descriptions << filter.description;
  dialog.setNameFilters(descriptions);

  // Qt reads the patterns from the descriptions, case-sensitively and with
  // "*.*" asking for a dot; the model gets the request's own.
  auto* model = dialog.findChild<QFileSystemModel*>();
  if (!model || request.filters.isEmpty()) return;
  const QList<FileFilter> filters = request.filters;
  auto apply = [model, filters](const QString& description) {
    for (const FileFilter& filter : filters) {
      if (filter.description == description) model->setNameFilters(ModelPatterns(filter));
    }
  };
  QObject::connect(&dialog, &QFileDialog::filterSelected, model, apply);
  apply(filters.first().description);
}

QString QtFileDialogBackend::Ask(QWidget* parent, const FileDialogRequest& request) {
  QFileDialog dialog(parent);
  PrepareFileDialog(dialog, request);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? QString() : chosen.first();
}

// File dialogs: the filter strings, the default extension, and Qt's dialog
// listing what the filters ask for.  Offscreen.
#include <gtest/gtest.h>

#include <QFileSystemModel>
#include <QTest>

#include "app/file_dialog.h"
#include "app/qt_file_dialog.h"
#include "tests/app/app_test_archives.h"
#include "tests/app/window_test_support.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"

namespace {

TEST(FileFilter, PairsOfDescriptionAndPatterns) {
  const QList<FileFilter> filters =
      ParseFileFilter(QStringLiteral("Talvessa Archived Files (*.vyx)|*.vyx|All Files(*.*)|*.*|"));
  ASSERT_EQ(filters.size(), 2);
  EXPECT_EQ(filters[0].description, QStringLiteral("Talvessa Archived Files (*.vyx)"));
  EXPECT_EQ(filters[0].patterns, QStringList{QStringLiteral("*.vyx")});
  EXPECT_EQ(filters[1].description, QStringLiteral("All Files(*.*)"));
  EXPECT_EQ(filters[1].patterns, QStringList{QStringLiteral("*.*")});
  EXPECT_EQ(ParseFileFilter(QStringLiteral("Pictures|*.jpg;*.bmp|"))[0].patterns,
            (QStringList{QStringLiteral("*.jpg"), QStringLiteral("*.bmp")}));
  EXPECT_TRUE(ParseFileFilter(QString()).isEmpty());
}

TEST(FileDialog, ANameWithoutExtensionGetsTheDefaultOne) {
  auto answers = std::make_shared<app_test::ScriptedFileDialogs>();
  app_test::ScopedFileDialogs scope(answers);
  struct Case {
    QString defaultExtension, answer, path;
  };
  for (const Case& c : {Case{"jpg", "/tmp/shot", "/tmp/shot.jpg"}, Case{"jpg", "/tmp/shot.bmp", "/tmp/shot.bmp"},
                        Case{"jpg", "/tmp/v1.2/shot", "/tmp/v1.2/shot.jpg"}, Case{"", "/tmp/clip", "/tmp/clip"}}) {
    answers->Answer(c.answer);
    CFileDialog dialog(false, c.defaultExtension, QString(), 0, QStringLiteral("All|*.*|"), nullptr);
    ASSERT_TRUE(dialog.DoModal());
    EXPECT_EQ(dialog.GetPathName(), c.path);
  }
  CFileDialog cancelled(true, QString(), QString(), 0, QString(), nullptr);
  EXPECT_FALSE(cancelled.DoModal());  // nothing queued: cancelled
  EXPECT_TRUE(cancelled.GetPathName().isEmpty());
}

TEST(FileDialog, WithoutABackEndEveryDialogIsCancelled) {
  app_test::ScopedFileDialogs none(nullptr);
  CFileDialog dialog(true, QString(), QString(), 0, QString(), nullptr);
  EXPECT_FALSE(dialog.DoModal());
}

// The names Qt's dialog lists in the directory for the selected filter.
QStringList Listed(QFileDialog& dialog, const QString& directory) {
  auto* model = dialog.findChild<QFileSystemModel*>();
  if (!model) return {};
  const QModelIndex parent = model->index(directory);
  QStringList names;
  for (int row = 0; row < model->rowCount(parent); ++row) names << model->index(row, 0, parent).data().toString();
  names.sort();
  return names;
}

TEST(QtFileDialog, FiltersMatchWithoutRegardToCaseAndStarDotStarListsEveryFile) {
  window_test::App();
  testing_support::ScratchDir dir("qt_file_dialog");
  for (const char* name : {"a.vyx", "B.VYX", "c.Vyx", "notes.txt", "README"})
    testing_support::WriteFile(dir / name, {1});
  FileDialogRequest request;
  request.filters = ParseFileFilter(QStringLiteral("Talvessa Archived Files (*.vyx)|*.vyx|All Files(*.*)|*.*|"));
  QFileDialog dialog;
  PrepareFileDialog(dialog, request);
  const QString directory = QString::fromStdString(dir.path().string());
  dialog.setDirectory(directory);
  dialog.show();
  EXPECT_EQ(dialog.nameFilters(), (QStringList{request.filters[0].description, request.filters[1].description}));
  // The model reads the directory in the background.
  auto lists = [&](const QStringList& names) {
    return QTest::qWaitFor([&] { return Listed(dialog, directory) == names; }, testing_support::kPatienceMs);
  };
  EXPECT_TRUE(lists({"B.VYX", "a.vyx", "c.Vyx"})) << Listed(dialog, directory).join(' ').toStdString();
  dialog.selectNameFilter(request.filters[1].description);
  emit dialog.filterSelected(request.filters[1].description);  // as the filter box does
  EXPECT_TRUE(lists({"B.VYX", "README", "a.vyx", "c.Vyx", "notes.txt"}))
      << Listed(dialog, directory).join(' ').toStdString();
  dialog.reject();
}

TEST(QtFileDialog, SaveDialogsAddTheDefaultSuffixAndAskBeforeReplacing) {
  window_test::App();
  FileDialogRequest request;
  request.open = false;
  request.defaultExtension = QStringLiteral("jpg");
  request.flags = OFN_OVERWRITEPROMPT;
  QFileDialog dialog;
  PrepareFileDialog(dialog, request);
  EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
  EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("jpg"));
  EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  request.flags = 0;
  QFileDialog quiet;
  PrepareFileDialog(quiet, request);
  EXPECT_TRUE(quiet.testOption(QFileDialog::DontConfirmOverwrite));
}

}  // namespace

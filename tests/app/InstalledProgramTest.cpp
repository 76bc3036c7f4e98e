// The main window says where an installed program writes its files; one run from its build folder says nothing.

#include "app/ServiceTool.h"
#include "mainwindow/MainFormControls.h"
#include "platform/ExeInfo.h"
#include "sim/SimSetups.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(InstalledProgram, TheStatusBarSaysWhereItWritesItsFiles) {
  QTemporaryDir tree;
  ASSERT_TRUE(tree.isValid());
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  const platform::ExeInfo previous = platform::exeInfo();
  qputenv("XDG_DATA_HOME", QFile::encodeName(tree.filePath(QStringLiteral("data"))));
  ASSERT_TRUE(QDir().mkpath(tree.filePath(QStringLiteral("bin"))));
  platform::setExeInfo({tree.filePath(QStringLiteral("bin/")), QStringLiteral("VELMO_ENG")});
  {
    app::ServiceTool fromBuild(sim::makeSimDriver(""));
    EXPECT_EQ(fromBuild.services.controls.panel(mainwindow::ctl::StatusBarView, 3), "   VELMO_ENG");
  }

  ASSERT_TRUE(QDir().mkpath(tree.filePath(QStringLiteral("share/applications"))));
  QFile entry(tree.filePath(QStringLiteral("share/applications/quvexa.desktop")));
  ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
  entry.close();
  {
    app::ServiceTool installed(sim::makeSimDriver(""));
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/');
    ASSERT_TRUE(data.startsWith(tree.filePath(QStringLiteral("data/"))));
    EXPECT_EQ(installed.services.controls.panel(mainwindow::ctl::StatusBarView, 3), "   VELMO_ENG   Files: " + data);
  }

  platform::setExeInfo(previous);
  if (dataHome.isNull()) qunsetenv("XDG_DATA_HOME");
  else qputenv("XDG_DATA_HOME", dataHome);
}

}  // namespace
}  // namespace qv

// The executable's folder and name as argv[0] gives them: the monitor log and the saves go under that folder,
// and the name chooses the profile.

#include "platform/ExeInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv::platform {
namespace {

class ExeInfoFromArgv0 : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.isValid()); }
  void TearDown() override {
    qputenv("PATH", path_);
    setExeInfo(previous_);
  }

  // A link named like a profile, in the temporary folder, to a file elsewhere in it.
  QString makeProfileLink(const QString& name) {
    const QString target = folder_.filePath(QStringLiteral("quvexa"));
    QFile program(target);
    EXPECT_TRUE(program.open(QIODevice::WriteOnly));
    program.close();
    EXPECT_TRUE(program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    EXPECT_TRUE(QDir().mkpath(folder_.filePath(QStringLiteral("bin"))));
    const QString link = folder_.filePath(QStringLiteral("bin/") + name);
    EXPECT_TRUE(QFile::link(target, link));
    return folder_.filePath(QStringLiteral("bin"));
  }

  QTemporaryDir folder_;
  const QByteArray path_ = qgetenv("PATH");
  const ExeInfo previous_ = exeInfo();
};

TEST_F(ExeInfoFromArgv0, APathIsTakenAsItStands) {
  initExeInfo("/opt/quvexa/VELMO_LIT2");
  EXPECT_EQ(exeInfo().folder, "/opt/quvexa/");
  EXPECT_EQ(exeInfo().fileName, "VELMO_LIT2");
}

TEST_F(ExeInfoFromArgv0, ABareNameIsTheOneTheSearchPathFound) {
  const QString bin = makeProfileLink(QStringLiteral("VELMO_ENG"));
  qputenv("PATH", QFile::encodeName(bin) + ":/usr/bin");
  initExeInfo("VELMO_ENG");
  // The link's folder and name, not the current folder's and not the file the link points to.
  EXPECT_EQ(exeInfo().folder, bin + QLatin1Char('/'));
  EXPECT_EQ(exeInfo().fileName, "VELMO_ENG");

  qputenv("PATH", "/nonexistent");
  initExeInfo("VELMO_ENG");
  EXPECT_EQ(exeInfo().folder, QDir::currentPath() + QLatin1Char('/'));
}

// Where logs, saves and reports go: beside a program run from its build folder, under the user's data folder for
// an installed one (its folder read-only, or its desktop entry in the install tree beside it).
class WriteFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tree_.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(tree_.filePath(QStringLiteral("data"))));
    ASSERT_TRUE(QDir().mkpath(bin()));
    setExeInfo({bin() + QLatin1Char('/'), QStringLiteral("VELMO_ENG")});
  }
  void TearDown() override {
    QFile(bin()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (dataHome_.isNull()) qunsetenv("XDG_DATA_HOME");
    else qputenv("XDG_DATA_HOME", dataHome_);
    setExeInfo(previous_);
  }
  QString bin() const { return tree_.filePath(QStringLiteral("bin")); }
  QString dataFolder() const {
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1Char('/');
  }

  QTemporaryDir tree_;
  const QByteArray dataHome_ = qgetenv("XDG_DATA_HOME");
  const ExeInfo previous_ = exeInfo();
};

TEST_F(WriteFolder, ABuildFolderIsWrittenAsItStands) {
  EXPECT_FALSE(writesToDataFolder());
  EXPECT_EQ(writeFolder(), bin() + QLatin1Char('/'));
}

TEST_F(WriteFolder, AnInstalledProgramWritesUnderTheDataFolderAndMakesIt) {
  ASSERT_TRUE(QDir().mkpath(tree_.filePath(QStringLiteral("share/applications"))));
  QFile entry(tree_.filePath(QStringLiteral("share/applications/quvexa.desktop")));
  ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
  entry.close();

  EXPECT_TRUE(writesToDataFolder());
  ASSERT_TRUE(dataFolder().startsWith(tree_.filePath(QStringLiteral("data/"))));
  EXPECT_EQ(writeFolder(), dataFolder());
  EXPECT_TRUE(QFileInfo(dataFolder()).isDir());
}

TEST_F(WriteFolder, AReadOnlyFolderIsAnInstalledProgramsFolder) {
  ASSERT_TRUE(QFile(bin()).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
  if (QFileInfo(bin()).isWritable()) GTEST_SKIP() << "this user writes read-only folders (root)";
  EXPECT_TRUE(writesToDataFolder());
  EXPECT_EQ(writeFolder(), dataFolder());
}

}  // namespace
}  // namespace qv::platform

// The executable's folder and name as argv[0] gives them: the monitor log and the saves go under that folder,
// and the name chooses the profile.

#include "platform/ExeInfo.h"

#include <QDir>
#include <QFile>
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

}  // namespace
}  // namespace qv::platform

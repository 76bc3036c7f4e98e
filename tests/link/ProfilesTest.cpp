// The executable's folder that logs, saves and reports go under is the program's write folder as it is now,
// whether or not anything asked for the profile since the executable changed.

#include "link/Profiles.h"
#include "platform/ExeInfo.h"
#include "support/ExeInfoScope.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(Profiles, ExeDirectoryFollowsTheExecutableWithoutAProfileTestFirst) {
  QTemporaryDir first, second;
  ASSERT_TRUE(first.isValid() && second.isValid());
  {
    const test::ScopedExeInfo exe({first.path() + "/", "VELMO_ENG"});
    EXPECT_EQ(link::CurrentProfile(), link::Profile::Eng);
    EXPECT_EQ(link::ExeDirectory().toStdString(), (first.path() + "/").toStdString());
  }
  const test::ScopedExeInfo exe({second.path() + "/", "VELMO_DIA"});
  EXPECT_EQ(link::ExeDirectory().toStdString(), (second.path() + "/").toStdString());
  EXPECT_EQ(link::ExeDirectory(), platform::writeFolder());
}

}  // namespace
}  // namespace qv

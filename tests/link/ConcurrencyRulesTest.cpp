// The concurrency rules stop the program where they are broken (builds with QV_CHECKS: every test build), and
// let the same work through where it is done as the rules say.

#include "link/Link.h"
#include "mainwindow/MainFormControls.h"
#include "mainwindow/MainWindowLink.h"
#include "platform/Checks.h"
#include "platform/Time.h"
#include "sim/SimDriver.h"
#include "support/OnWorker.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace qv {
namespace {

class ConcurrencyRules : public ::testing::Test {
 protected:
  void SetUp() override {
#if !defined(QV_CHECKS)
    GTEST_SKIP() << "built without QV_CHECKS";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    services.controls.declare(mainwindow::ctl::EditFWID, {});
  }

  platform::Services services{std::make_unique<sim::SimDriver>()};
  link::Link link{services, mainwindow::kLinkControls};
};

struct Broken {
  const char* what;
  const char* rule;
  std::function<void(platform::Services&, link::Link&)> act;
};

TEST_F(ConcurrencyRules, EachRuleBrokenStopsTheProgramNamingIt) {
  const Broken cases[] = {
      {"an exchange on the GUI thread", "no exchange wait on the GUI thread",
       [](platform::Services&, link::Link& l) {
         const platform::checks::GuiThreadScope gui;
         const auto exchange = l.exchange();
       }},
      {"a fixed sleep on the GUI thread", "no fixed sleep on the GUI thread",
       [](platform::Services&, link::Link&) {
         const platform::checks::GuiThreadScope gui;
         platform::sleepMs(1);
       }},
      {"a box under the exchange lock", "no Yes/No box or GUI request under the exchange lock",
       [](platform::Services& s, link::Link& l) {
         const auto exchange = l.exchange();
         s.gui().askYesNo("Caption", "Text");
       }},
      {"a box from a store rule", "no Yes/No box or GUI request under the store's lock",
       [](platform::Services& s, link::Link&) {
         s.controls.onTextChanged(mainwindow::ctl::EditFWID,
                                  [&s](Controls&, const QString&) { s.gui().askYesNo("Caption", "Text"); });
         s.controls.setText(mainwindow::ctl::EditFWID, "X");
       }},
      {"an exchange from a store rule", "store rules take no other lock",
       [](platform::Services& s, link::Link& l) {
         s.controls.onTextChanged(mainwindow::ctl::EditFWID,
                                  [&l](Controls&, const QString&) { const auto exchange = l.exchange(); });
         s.controls.setText(mainwindow::ctl::EditFWID, "X");
       }},
  };
  for (const Broken& c : cases) {
    EXPECT_DEATH(c.act(services, link), c.rule) << c.what;
  }
}

TEST_F(ConcurrencyRules, TheSameWorkDoneAsTheRulesSayGoesThrough) {
  const platform::checks::GuiThreadScope gui;
  // A worker exchanges and sleeps; it asks the display after letting the lock go.
  const bool answered = test::onWorker([&] {
    {
      const auto exchange = link.exchange();
      const auto again = link.exchange();  // a command's steps take it again
      platform::sleepMs(1);
    }
    EXPECT_FALSE(platform::checks::holds(platform::checks::Lock::Exchange));
    return services.gui().askYesNo("Caption", "Text");
  });
  EXPECT_FALSE(answered);  // no display: every box is answered No
  // The GUI thread may wait while the program closes.
  const platform::checks::GuiWaitAllowed closing;
  platform::sleepMs(1);
}

TEST_F(ConcurrencyRules, TheGuiThreadIsNamedOnlyForTheLifeOfItsScope) {
  EXPECT_FALSE(platform::checks::onGuiThread());
  {
    const platform::checks::GuiThreadScope gui;
    EXPECT_TRUE(platform::checks::onGuiThread());
    EXPECT_FALSE(test::onWorker([] { return platform::checks::onGuiThread(); }));
  }
  EXPECT_FALSE(platform::checks::onGuiThread());
}

}  // namespace
}  // namespace qv

#include "platform/Controls.h"
#include "platform/Form.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace qv {
namespace {

TEST(Controls, RulesFollowRealTextChangesOnly) {
  Controls c;
  c.declare("EditBox", {});
  c.declare("Bar", {});
  int runs = 0;
  c.onTextChanged("EditBox", [&runs](Controls& cs, const QString& text) {
    ++runs;
    long long v = 0;
    if (parseInt(text, &v)) cs.setPosition("Bar", static_cast<int>(v));
  });
  c.setText("EditBox", "40");
  c.setText("EditBox", "40");
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(c.position("Bar"), 40);
  c.setText("EditBox", "x1");  // not a number: the bar keeps its value
  EXPECT_EQ(c.position("Bar"), 40);
  c.setText("EditBox", "250");  // clamped to the range
  EXPECT_EQ(c.position("Bar"), 100);
  c.setMaximum("Bar", 50);
  EXPECT_EQ(c.position("Bar"), 50);
}

TEST(Controls, LampsPanelsAndItems) {
  Controls c;
  ControlState lamp;
  lamp.color = colour::White;
  c.declare("Shape_TX", lamp);
  c.toggleLamp("Shape_TX", colour::Red);
  EXPECT_EQ(c.color("Shape_TX"), colour::Red);
  c.toggleLamp("Shape_TX", colour::Red);
  EXPECT_EQ(c.color("Shape_TX"), colour::White);
  c.setColor("Shape_TX", colour::Blue);  // not white: a toggle makes it white
  c.toggleLamp("Shape_TX", colour::Red);
  EXPECT_EQ(c.color("Shape_TX"), colour::White);

  c.declare("StatusBarView", {});
  c.setPanel("StatusBarView", 2, " x ");
  EXPECT_EQ(c.panel("StatusBarView", 2), " x ");
  EXPECT_EQ(c.panel("StatusBarView", 0), "");
  EXPECT_EQ(c.panel("StatusBarView", 7), "");

  c.declare("List", {});
  c.addItem("List", "USB1");
  c.addItem("List", "USB2");
  EXPECT_EQ(c.selectedItemText("List"), "");
  c.setItemIndex("List", 1);
  EXPECT_EQ(c.selectedItemText("List"), "USB2");
  c.setItemIndex("List", 5);
  EXPECT_EQ(c.selectedItemText("List"), "");
  c.selectItem("List", 0);
  EXPECT_EQ(c.text("List"), "USB1");
  c.selectItem("List", -1);
  EXPECT_EQ(c.itemIndex("List"), -1);
  EXPECT_EQ(c.text("List"), "");
}

TEST(Controls, UndeclaredNamesAreReported) {
  Controls c;
  c.declare("EditKnown", {});
  c.setText("EditKnown", "1");
  c.setText("EditTypo", "1");
  (void)c.text("EditOther");
  EXPECT_EQ(c.undeclared(), (std::vector<std::string>{"EditOther", "EditTypo"}));
}

TEST(Controls, ObserverHearsOnceUntilTaken) {
  struct Counter : Controls::Observer {
    std::atomic<int> calls{0};
    void controlsChanged() override { ++calls; }
  } counter;
  Controls c;
  c.declare("A", {});
  c.declare("B", {});
  c.takeChanged();
  c.setObserver(&counter);
  c.setText("A", "1");
  c.setText("B", "1");
  c.setText("A", "2");
  EXPECT_EQ(counter.calls.load(), 1);
  EXPECT_EQ(c.takeChanged(), (std::vector<std::string>{"A", "B"}));
  c.setEnabled("B", false);
  EXPECT_EQ(counter.calls.load(), 2);
  c.setObserver(nullptr);
}

TEST(Controls, WritersOnManyThreads) {
  Controls c;
  c.declare("Edit", {});
  c.declare("Gauge", {});
  c.onTextChanged("Edit", [](Controls& cs, const QString& t) { cs.setPosition("Gauge", t.toInt()); });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&c, t] {
      for (int i = 0; i < 2000; ++i) c.setText("Edit", QString::number((i + t) % 100));
    });
  }
  for (auto& th : threads) th.join();
  // Rules run under the store's lock, so the gauge always matches the last text.
  EXPECT_EQ(c.position("Gauge"), c.text("Edit").toInt());
}

TEST(Numbers, ParseInCLocaleAndRefuseNonNumbers) {
  struct Case {
    const char* text;
    bool ok;
    long long value;
  };
  const Case cases[] = {{"42", true, 42},   {" -7 ", true, -7}, {"", false, 0},   {"4x", false, 0},
                        {"0x10", false, 0}, {"+3", true, 3},    {"  ", false, 0}, {"12.5", false, 0}};
  for (const Case& k : cases) {
    long long v = 99;
    EXPECT_EQ(parseInt(QString::fromLatin1(k.text), &v), k.ok) << k.text;
    EXPECT_EQ(v, k.ok ? k.value : 99) << k.text;
  }
  long double d = 0;
  EXPECT_TRUE(parseDouble("12.5", &d));
  EXPECT_EQ(d, 12.5L);
  EXPECT_FALSE(parseDouble("12,5", &d));
  EXPECT_FALSE(parseDouble("nan", &d));
  EXPECT_FALSE(parseDouble("inf", &d));
  // A NUL inside the text ends the C reader early; the text is still no number.
  long long v = 99;
  EXPECT_FALSE(parseInt(QString::fromLatin1("7\0xyz", 5), &v));
  EXPECT_FALSE(parseInt(QString::fromLatin1("7\0", 2), &v));
  EXPECT_EQ(v, 99);
  d = 3;
  EXPECT_FALSE(parseDouble(QString::fromLatin1("7\0xyz", 5), &d));
  EXPECT_FALSE(parseDouble(QString::fromLatin1("7.5\0", 4), &d));
  EXPECT_EQ(d, 3.0L);
}

TEST(Form, DeclaresDesignState) {
  FormDef form{.name = "FormTest", .caption = "Test", .clientWidth = 100, .clientHeight = 50,
               .controls = {{.name = "EditA", .kind = Kind::Edit, .caption = "0"},
                            {.name = "SpdBtnGo", .kind = Kind::Button, .caption = "Go", .enabled = false},
                            {.name = "Combo", .kind = Kind::ComboBox, .items = "a\nb", .itemIndex = 1}}};
  Controls c;
  declareForm(c, form);
  EXPECT_EQ(c.text("FormTest"), "Test");
  EXPECT_FALSE(c.visible("FormTest"));
  EXPECT_EQ(c.text("EditA"), "0");
  EXPECT_EQ(c.color("EditA"), colour::Window);
  EXPECT_FALSE(c.enabled("SpdBtnGo"));
  EXPECT_EQ(c.selectedItemText("Combo"), "b");
  EXPECT_TRUE(c.undeclared().empty());
}

}  // namespace
}  // namespace qv

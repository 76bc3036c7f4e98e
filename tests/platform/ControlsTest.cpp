#include "platform/Controls.h"
#include "platform/Form.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace qv {
namespace {

// The controls of the store under test.
namespace testctl {
QV_CONTROL(EditBox);
QV_CONTROL(Bar);
QV_CONTROL(Shape_TX);
QV_CONTROL(StatusBarView);
QV_CONTROL(List);
QV_CONTROL(EditKnown);
QV_CONTROL(EditTypo);
QV_CONTROL(EditOther);
QV_CONTROL(A);
QV_CONTROL(B);
QV_CONTROL(Edit);
QV_CONTROL(Gauge);
QV_CONTROL(FormTest);
QV_CONTROL(EditA);
QV_CONTROL(SpdBtnGo);
QV_CONTROL(Combo);
QV_CONTROL(EditName);
QV_CONTROL(EditCount);
QV_CONTROL(PanelResult);
}  // namespace testctl

TEST(Controls, RulesFollowRealTextChangesOnly) {
  Controls c;
  c.declare(testctl::EditBox, {});
  c.declare(testctl::Bar, {});
  int runs = 0;
  c.onTextChanged(testctl::EditBox, [&runs](Controls& cs, const QString& text) {
    ++runs;
    long long v = 0;
    if (parseInt(text, &v)) cs.setPosition(testctl::Bar, static_cast<int>(v));
  });
  c.setText(testctl::EditBox, "40");
  c.setText(testctl::EditBox, "40");
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(c.position(testctl::Bar), 40);
  c.setText(testctl::EditBox, "x1");  // not a number: the bar keeps its value
  EXPECT_EQ(c.position(testctl::Bar), 40);
  c.setText(testctl::EditBox, "250");  // clamped to the range
  EXPECT_EQ(c.position(testctl::Bar), 100);
  c.setMaximum(testctl::Bar, 50);
  EXPECT_EQ(c.position(testctl::Bar), 50);
}

TEST(Controls, LampsPanelsAndItems) {
  Controls c;
  ControlState lamp;
  lamp.color = colour::White;
  c.declare(testctl::Shape_TX, lamp);
  c.toggleLamp(testctl::Shape_TX, colour::Red);
  EXPECT_EQ(c.color(testctl::Shape_TX), colour::Red);
  c.toggleLamp(testctl::Shape_TX, colour::Red);
  EXPECT_EQ(c.color(testctl::Shape_TX), colour::White);
  c.setColor(testctl::Shape_TX, colour::Blue);  // not white: a toggle makes it white
  c.toggleLamp(testctl::Shape_TX, colour::Red);
  EXPECT_EQ(c.color(testctl::Shape_TX), colour::White);

  c.declare(testctl::StatusBarView, {});
  c.setPanel(testctl::StatusBarView, 2, " x ");
  EXPECT_EQ(c.panel(testctl::StatusBarView, 2), " x ");
  EXPECT_EQ(c.panel(testctl::StatusBarView, 0), "");
  EXPECT_EQ(c.panel(testctl::StatusBarView, 7), "");

  c.declare(testctl::List, {});
  c.addItem(testctl::List, "USB1");
  c.addItem(testctl::List, "USB2");
  EXPECT_EQ(c.selectedItemText(testctl::List), "");
  c.setItemIndex(testctl::List, 1);
  EXPECT_EQ(c.selectedItemText(testctl::List), "USB2");
  c.setItemIndex(testctl::List, 5);
  EXPECT_EQ(c.selectedItemText(testctl::List), "");
  c.selectItem(testctl::List, 0);
  EXPECT_EQ(c.text(testctl::List), "USB1");
  c.selectItem(testctl::List, -1);
  EXPECT_EQ(c.itemIndex(testctl::List), -1);
  EXPECT_EQ(c.text(testctl::List), "");
}

TEST(Controls, UndeclaredNamesAreReported) {
  Controls c;
  c.declare(testctl::EditKnown, {});
  c.setText(testctl::EditKnown, "1");
  c.setText(testctl::EditTypo, "1");
  (void)c.text(testctl::EditOther);
  EXPECT_EQ(c.undeclared(), (std::vector<std::string>{"EditOther", "EditTypo"}));
}

TEST(Controls, ObserverHearsOnceUntilTaken) {
  struct Counter : Controls::Observer {
    std::atomic<int> calls{0};
    void controlsChanged() override { ++calls; }
  } counter;
  Controls c;
  c.declare(testctl::A, {});
  c.declare(testctl::B, {});
  c.takeChanged();
  c.setObserver(&counter);
  c.setText(testctl::A, "1");
  c.setText(testctl::B, "1");
  c.setText(testctl::A, "2");
  EXPECT_EQ(counter.calls.load(), 1);
  EXPECT_EQ(c.takeChanged(), (std::vector<std::string>{"A", "B"}));
  c.setEnabled(testctl::B, false);
  EXPECT_EQ(counter.calls.load(), 2);
  c.setObserver(nullptr);
}

TEST(Controls, WritersOnManyThreads) {
  Controls c;
  c.declare(testctl::Edit, {});
  c.declare(testctl::Gauge, {});
  c.onTextChanged(testctl::Edit, [](Controls& cs, const QString& t) { cs.setPosition(testctl::Gauge, t.toInt()); });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&c, t] {
      for (int i = 0; i < 2000; ++i) c.setText(testctl::Edit, QString::number((i + t) % 100));
    });
  }
  for (auto& th : threads) th.join();
  // Rules run under the store's lock, so the gauge always matches the last text.
  EXPECT_EQ(c.position(testctl::Gauge), c.text(testctl::Edit).toInt());
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
  FormDef form{.name = testctl::FormTest,
               .caption = "Test",
               .clientWidth = 100,
               .clientHeight = 50,
               .controls = {{.name = testctl::EditA, .kind = Kind::Edit, .caption = "0"},
                            {.name = testctl::SpdBtnGo, .kind = Kind::Button, .caption = "Go", .enabled = false},
                            {.name = testctl::Combo, .kind = Kind::ComboBox, .items = "a\nb", .itemIndex = 1}}};
  Controls c;
  declareForm(c, form);
  EXPECT_EQ(c.text(testctl::FormTest), "Test");
  EXPECT_FALSE(c.visible(testctl::FormTest));
  EXPECT_EQ(c.text(testctl::EditA), "0");
  EXPECT_EQ(c.color(testctl::EditA), colour::Window);
  EXPECT_FALSE(c.enabled(testctl::SpdBtnGo));
  EXPECT_EQ(c.selectedItemText(testctl::Combo), "b");
  EXPECT_TRUE(c.undeclared().empty());
}

// The store keeps an edit's text as the widget would: what it refuses to hold the store refuses too, whoever
// writes it, and the edit keeps its text.
TEST(Form, EditsTakeWhatTheirLimitsAllowAndControlsKeepTheirFontSize) {
  FormDef form{.name = testctl::FormTest,
               .controls = {place(Kind::Edit, testctl::EditName, kFormItself, 0, 0, 10, 10).atMost(4),
                            place(Kind::Edit, testctl::EditCount, kFormItself, 0, 0, 10, 10, "0").digits().atMost(3),
                            place(Kind::Panel, testctl::PanelResult, kFormItself, 0, 0, 10, 10, "none").font(48)}};
  Controls c;
  declareForm(c, form);
  const struct {
    Control edit;
    QString text;
    QString kept;  // the edit's text afterwards
  } writes[] = {
      {testctl::EditName, "abcd", "abcd"},
      {testctl::EditName, "abcde", "abcd"},  // a fifth character
      {testctl::EditName, QStringLiteral("工單號碼"), QStringLiteral("工單號碼")},
      {testctl::EditName, "", ""},
      {testctl::EditCount, "123", "123"},
      {testctl::EditCount, "12a", "123"},
      {testctl::EditCount, "-1", "123"},
      {testctl::EditCount, " 12", "123"},
      {testctl::EditCount, "1234", "123"},
      {testctl::EditCount, "", ""},
      {testctl::EditCount, QStringLiteral("１"), ""},  // a digit of another script
  };
  for (const auto& w : writes) {
    c.setText(w.edit, w.text);
    EXPECT_EQ(c.text(w.edit), w.kept) << w.edit << " " << w.text.toStdString();
  }
  // A label has no limit of its own.
  c.setText(testctl::PanelResult, QString(100, 'x'));
  EXPECT_EQ(c.text(testctl::PanelResult).size(), 100);

  EXPECT_EQ(c.fontSize(testctl::PanelResult), 48);
  EXPECT_EQ(c.fontSize(testctl::EditName), 0) << "the window's font";
  c.setFontSize(testctl::PanelResult, pointsAsPixels(22));
  EXPECT_EQ(c.fontSize(testctl::PanelResult), 29);
  EXPECT_EQ(pointsAsPixels(36), 48);
  EXPECT_TRUE(c.undeclared().empty());
}

}  // namespace
}  // namespace qv

#include "TestFormControls.h"
#include "platform/gui/Display.h"
#include "platform/gui/PaintedControls.h"
#include "support/DisplayWait.h"
#include "support/ImageDiff.h"
#include "support/WaitFor.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

namespace qv::gui {
namespace {

FormDef testForm() {
  FormDef form;
  form.name = testctl::FormTest;
  form.caption = "Test window";
  form.clientWidth = 400;
  form.clientHeight = 300;
  form.color = colour::Background;
  form.controls = {
      place(Kind::Edit, testctl::EditA, kFormItself, 10, 10, 80, 20, "0"),
      place(Kind::Button, testctl::BtnA, kFormItself, 100, 10, 60, 24, "Go"),
      place(Kind::CheckBox, testctl::CheckA, kFormItself, 170, 10, 80, 18, "Log"),
      place(Kind::RadioGroup, testctl::RadioA, kFormItself, 10, 40, 160, 46, " Protocol ").list("UR\nCAN").cols(2),
      place(Kind::ComboBox, testctl::ComboA, kFormItself, 180, 40, 90, 22).list("9600\n19200", 1),
      place(Kind::GroupBox, testctl::Group, kFormItself, 10, 90, 200, 60, " Group "),
      place(Kind::Edit, testctl::EditInherit, testctl::Group, 10, 24, 80, 20).paint(colour::Parent),
      place(Kind::Gauge, testctl::GaugeA, testctl::Group, 100, 20, 20, 36).span(0, 5000).paint(colour::Lime),
      place(Kind::Shape, testctl::LampA, testctl::Group, 130, 24, 20, 20).paint(colour::White),
      place(Kind::PageControl, testctl::Pages, kFormItself, 10, 160, 300, 100),
      place(Kind::TabSheet, testctl::Page1, testctl::Pages, 0, 0, 0, 0, "One"),
      place(Kind::TabSheet, testctl::Page2, testctl::Pages, 0, 0, 0, 0, "Two"),
      place(Kind::Label, testctl::Label1, testctl::Page2, 4, 4, 60, 14, "on two"),
      place(Kind::TabSheet, testctl::Page3, testctl::Pages, 0, 0, 0, 0, "Three"),
      place(Kind::Memo, testctl::MemoA, kFormItself, 320, 10, 70, 100).list("first"),
      place(Kind::StatusBar, testctl::Status, kFormItself, 0, 281, 400, 19).panels("50,60"),
      place(Kind::Timer, testctl::TimerA, kFormItself, 0, 0, 0, 0).every(5).disable(),
  };
  return form;
}

struct RecordingLogic : DeclaredForm {
  explicit RecordingLogic(Controls& c) : DeclaredForm(c, testForm()) {}
  void onEvent(Control control, UiEvent event) override {
    events.emplace_back(std::string(control.key()), event);
    if (control == testctl::BtnA && throwOnClick) throw std::runtime_error("the handler failed");
  }
  std::vector<std::pair<std::string, UiEvent>> events;
  bool throwOnClick = false;
};

// Types as the operator does, one key at a time.
void type(QWidget* w, const QString& text) {
  for (QChar ch : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(w, &press);
  }
}

void processFor(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

class DisplayTest : public ::testing::Test {
 protected:
  DisplayTest() : logic(controls), display(controls), window(display.addWindow(logic)) {}
  template <typename W>
  W* find(const char* name) {
    return window.findChild<W*>(QString::fromLatin1(name));
  }
  size_t count(std::string_view control, UiEvent event) const {
    return static_cast<size_t>(std::count(logic.events.begin(), logic.events.end(),
                                          std::pair<std::string, UiEvent>(std::string(control), event)));
  }

  Controls controls;
  RecordingLogic logic;
  Display display;
  FormWindow& window;
};

TEST_F(DisplayTest, EveryControlIsAWidgetNamedAfterItAtItsPlace) {
  for (const ControlDef& def : window.form().controls) {
    if (def.kind == Kind::Timer) continue;
    QWidget* w = window.findChild<QWidget*>(objectNameFor(def.name.key()));
    ASSERT_NE(w, nullptr) << def.name;
    EXPECT_EQ(w, window.widget(def.name));
    if (def.kind != Kind::TabSheet) {
      EXPECT_EQ(w->geometry(), QRect(def.left, def.top, def.width, def.height)) << def.name;
    }
  }
  EXPECT_EQ(objectNameFor("FormTest.Label1"), "Label1");
  EXPECT_EQ(find<QLineEdit>("EditA")->text(), "0");
  EXPECT_EQ(find<QComboBox>("ComboA")->currentText(), "19200");
  EXPECT_EQ(find<QPlainTextEdit>("MemoA")->toPlainText(), "first");
  EXPECT_EQ(window.windowTitle(), "Test window");
  EXPECT_EQ(window.size(), QSize(400, 300));
}

TEST_F(DisplayTest, AWorkersBurstOfWritesIsShownOnTheGuiThread) {
  std::thread worker([this] {
    for (int i = 1; i <= 500; ++i) {
      controls.setText(testctl::EditA, QString::number(i));
      controls.setPosition(testctl::GaugeA, i * 10);
      controls.setPanel(testctl::Status, 1, QStringLiteral(" step %1").arg(i));
    }
  });
  worker.join();
  // Nothing was touched by the worker itself: the widgets still show the old state.
  EXPECT_EQ(find<QLineEdit>("EditA")->text(), "0");
  test::waitForDisplay(display);
  EXPECT_EQ(find<QLineEdit>("EditA")->text(), "500");
  EXPECT_EQ(find<GaugeWidget>("GaugeA")->percent(), 100);
  EXPECT_EQ(find<StatusBarWidget>("Status")->panels(), (QStringList{"", " step 500"}));
  EXPECT_TRUE(controls.takeChanged().empty()) << "one flush took every change";
}

// A worker writing without pause is followed at the display's pace, not at its own, and what it wrote last is
// what shows.
TEST_F(DisplayTest, AStreamOfWritesIsShownAtMostThirtyTimesASecond) {
  test::waitForDisplay(display);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 1; i <= 300; ++i) {
      controls.setText(testctl::EditA, QString::number(i));
      controls.toggleLamp(testctl::LampA, colour::Lime);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    done = true;
  });
  QElapsedTimer t;
  t.start();
  const uint64_t before = display.flushes();
  while (!done) QApplication::processEvents(QEventLoop::AllEvents, 5);
  worker.join();
  test::waitForDisplay(display);
  const double seconds = static_cast<double>(t.elapsed()) / 1000.0;
  const uint64_t flushes = display.flushes() - before;
  EXPECT_GE(flushes, 2u) << "the display followed while the worker wrote";
  // The flush that ends a blink is the period's own flush.
  EXPECT_LE(static_cast<double>(flushes), Display::kFlushesPerSecond * seconds + 3);
  EXPECT_EQ(find<QLineEdit>("EditA")->text(), "300");
}

// A lamp shows each flush's colour; one toggled an even number of times since the last flush, and so back at the
// colour it shows, shows the other state until the next flush: it still blinks. And it paints its own
// background, so that a toggle repaints the lamp alone.
TEST_F(DisplayTest, ALampTogglingBetweenTwoFlushesStillBlinks) {
  auto* lamp = find<LampWidget>("LampA");
  EXPECT_TRUE(lamp->testAttribute(Qt::WA_OpaquePaintEvent));
  controls.setColor(testctl::Group, colour::Yellow);
  const QColor white(255, 255, 255), lime(0, 255, 0);
  struct Case {
    int toggles;
    QColor shown;  // right after the flush
    bool blinking;
  } cases[] = {{1, lime, false}, {2, white, true}, {3, white, false}, {4, lime, true}, {0, white, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.toggles);
    for (int i = 0; i < c.toggles; ++i) controls.toggleLamp(testctl::LampA, colour::Lime);
    test::waitForDisplay(display);
    EXPECT_EQ(lamp->brush(), c.shown);
    EXPECT_EQ(lamp->blinking(), c.blinking);
    // The next flush comes by itself and shows the store's colour.
    const uint64_t flushes = display.flushes();
    if (c.blinking) {
      processFor(3 * Display::kFlushPeriodMs);
      EXPECT_GT(display.flushes(), flushes);
    }
    const Colour stored = controls.color(testctl::LampA);
    EXPECT_EQ(lamp->brush(), stored == colour::White ? white : lime);
    EXPECT_FALSE(lamp->blinking());
  }
  const QImage painted = lamp->grab().toImage();
  EXPECT_EQ(QColor(painted.pixel(0, 0)), QColor(255, 255, 0)) << "its corner is its group's background";
}

TEST_F(DisplayTest, OperatorInputGoesIntoTheStoreAndThenToTheLogic) {
  auto* edit = find<QLineEdit>("EditA");
  edit->clear();
  type(edit, QStringLiteral("42"));
  EXPECT_EQ(controls.text(testctl::EditA), "42");
  EXPECT_EQ(count("EditA", UiEvent::Change), 2u);

  find<QPushButton>("BtnA")->click();
  EXPECT_EQ(count("BtnA", UiEvent::Click), 1u);

  find<QCheckBox>("CheckA")->click();
  EXPECT_TRUE(controls.checked(testctl::CheckA));
  EXPECT_EQ(count("CheckA", UiEvent::Click), 1u);

  const auto radios = find<QGroupBox>("RadioA")->findChildren<QRadioButton*>();
  ASSERT_EQ(radios.size(), 2);
  radios[1]->click();
  EXPECT_EQ(controls.itemIndex(testctl::RadioA), 1);
  EXPECT_EQ(count("RadioA", UiEvent::Click), 1u);

  auto* combo = find<QComboBox>("ComboA");
  combo->setCurrentIndex(0);
  emit combo->activated(0);
  EXPECT_EQ(controls.itemIndex(testctl::ComboA), 0);
  EXPECT_EQ(controls.text(testctl::ComboA), "9600");

  QEvent enter(QEvent::Enter), leave(QEvent::Leave);
  QApplication::sendEvent(find<QPushButton>("BtnA"), &enter);
  QApplication::sendEvent(find<QPushButton>("BtnA"), &leave);
  EXPECT_EQ(count("BtnA", UiEvent::MouseEnter), 1u);
  EXPECT_EQ(count("BtnA", UiEvent::MouseLeave), 1u);

  // What the operator put into the store comes back unchanged.
  test::waitForDisplay(display);
  EXPECT_EQ(edit->text(), "42");
  EXPECT_TRUE(find<QCheckBox>("CheckA")->isChecked());
}

TEST_F(DisplayTest, HiddenPagesLoseTheirTabsAndTheIndexCountsTheTabsShown) {
  auto* tabs = find<QTabWidget>("Pages");
  ASSERT_EQ(tabs->count(), 3);
  controls.setVisible(testctl::Page1, false);
  controls.setItemIndex(testctl::Pages, 1);
  test::waitForDisplay(display);
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0), "Two");
  EXPECT_EQ(tabs->currentWidget(), window.widget(testctl::Page3));
  EXPECT_TRUE(logic.events.empty()) << "changes from the store are not operator input";

  tabs->tabBar()->setCurrentIndex(0);  // the operator picks "Two"
  EXPECT_EQ(controls.itemIndex(testctl::Pages), 0);
  EXPECT_EQ(count("Pages", UiEvent::Change), 1u);

  controls.setVisible(testctl::Page1, true);
  controls.setText(testctl::Page3, "Drei");
  test::waitForDisplay(display);
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(2), "Drei");
  EXPECT_EQ(tabs->currentIndex(), 0) << "the store's index, counted over the tabs shown";
}

TEST_F(DisplayTest, ColoursFollowTheStoreAndTheParents) {
  auto* inherit = find<QLineEdit>("EditInherit");
  EXPECT_EQ(inherit->palette().color(QPalette::Base), QColor(229, 254, 206)) << "the window's background";
  controls.setColor(testctl::Group, colour::Yellow);
  controls.setColor(testctl::EditA, colour::Red);
  controls.setFontColor(testctl::EditA, colour::White);
  controls.setColor(testctl::LampA, colour::Lime);
  test::waitForDisplay(display);
  EXPECT_EQ(inherit->palette().color(QPalette::Base), QColor(255, 255, 0)) << "now its group's";
  EXPECT_EQ(find<QLineEdit>("EditA")->palette().color(QPalette::Base), QColor(255, 0, 0));
  EXPECT_EQ(find<QLineEdit>("EditA")->palette().color(QPalette::Active, QPalette::Text), QColor(255, 255, 255));
  EXPECT_EQ(find<LampWidget>("LampA")->brush(), QColor(0, 255, 0));
  controls.setColor(testctl::Group, colour::Parent);
  test::waitForDisplay(display);
  EXPECT_EQ(inherit->palette().color(QPalette::Base), QColor(229, 254, 206));
}

// A group box draws its frame once per look: what it shows is what the style draws for a plain box with the same
// title, colours and state, after each change of them too.
TEST_F(DisplayTest, AGroupBoxShowsWhatTheStyleDrawsAfterEveryChange) {
  auto* box = find<QGroupBox>("Group");
  ASSERT_NE(dynamic_cast<FrameBox*>(box), nullptr);
  QGroupBox plain(box->parentWidget());
  plain.setGeometry(box->geometry());
  plain.lower();
  const auto drawn = [](QWidget* w) {
    QImage image(w->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(40, 90, 160));
    w->render(&image, QPoint(), QRegion(), {});  // the box alone, without its children
    return image;
  };
  const auto same = [&] {
    plain.setTitle(box->title());
    plain.setPalette(box->palette());
    plain.setEnabled(box->isEnabled());
    plain.setAutoFillBackground(box->autoFillBackground());
    return test::worstPixelDifference(drawn(box), drawn(&plain));
  };
  window.show();
  test::waitForDisplay(display);
  const QImage first = drawn(box);
  EXPECT_LE(same(), 1);
  const struct {
    const char* step;
    std::function<void()> change;
  } steps[] = {
      {"a new title", [&] { controls.setText(testctl::Group, QStringLiteral(" Another group ")); }},
      {"a colour of its own", [&] { controls.setColor(testctl::Group, colour::Yellow); }},
      {"disabled", [&] { controls.setEnabled(testctl::Group, false); }},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.step);
    step.change();
    test::waitForDisplay(display);
    EXPECT_NE(drawn(box), first);
    EXPECT_LE(same(), 1);
  }
}

TEST_F(DisplayTest, TheWindowShowsHidesAndClosesThroughTheStore) {
  int closed = 0;
  QObject::connect(&window, &FormWindow::closed, [&closed] { ++closed; });
  controls.setText(testctl::FormTest, "Renamed");
  controls.setVisible(testctl::FormTest, true);
  test::waitForDisplay(display);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.windowTitle(), "Renamed");
  EXPECT_EQ(count("FormTest", UiEvent::Show), 1u);

  controls.setEnabled(testctl::FormTest, false);
  test::waitForDisplay(display);
  EXPECT_FALSE(window.isEnabled());

  controls.setVisible(testctl::FormTest, false);
  test::waitForDisplay(display);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(closed, 0) << "hidden is not closed";

  controls.setVisible(testctl::FormTest, true);
  test::waitForDisplay(display);
  EXPECT_EQ(count("FormTest", UiEvent::Show), 2u);
  window.close();
  EXPECT_FALSE(controls.visible(testctl::FormTest));
  EXPECT_EQ(count("FormTest", UiEvent::Close), 1u);
  EXPECT_EQ(closed, 1);
}

TEST_F(DisplayTest, ATimerFiresOnlyWhileTheStoreSaysItRuns) {
  processFor(30);
  EXPECT_EQ(count("TimerA", UiEvent::Timer), 0u);
  controls.setEnabled(testctl::TimerA, true);
  EXPECT_TRUE(test::waitForProcessingEvents([&] { return count("TimerA", UiEvent::Timer) > 0; }));
  controls.setEnabled(testctl::TimerA, false);
  // Stopped once the display has shown the change; what fired until then counts.
  auto* timer = window.findChild<QTimer*>("TimerA");
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(test::waitForProcessingEvents([&] { return !timer->isActive(); }));
  const size_t fired = count("TimerA", UiEvent::Timer);
  processFor(30);
  EXPECT_EQ(count("TimerA", UiEvent::Timer), fired);
}

// The application's exception display: the stop icon, the application's title, the message and OK.
TEST_F(DisplayTest, AnExceptionFromAHandlerIsShownAndTheProgramGoesOn) {
  logic.throwOnClick = true;
  const QString name = QApplication::applicationName();
  QApplication::setApplicationName(QStringLiteral("Quvexa BMS Monitor"));
  QString shown, caption;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text();
      caption = box->windowTitle();
      icon = box->icon();
      buttons = box->standardButtons();
      box->accept();
    }
  });
  find<QPushButton>("BtnA")->click();
  QApplication::setApplicationName(name);
  EXPECT_EQ(shown, "the handler failed");
  EXPECT_EQ(caption, "Quvexa BMS Monitor");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(buttons, QMessageBox::Ok);
  logic.throwOnClick = false;
  find<QPushButton>("BtnA")->click();
  EXPECT_EQ(count("BtnA", UiEvent::Click), 2u);
}

TEST(DisplayBuild, AControlInTwoWindowsIsRefused) {
  Controls controls;
  RecordingLogic first(controls), second(controls);
  Display display(controls);
  display.addWindow(first);
  EXPECT_THROW(display.addWindow(second), std::logic_error);
}

}  // namespace
}  // namespace qv::gui

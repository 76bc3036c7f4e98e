#pragma once
// The look every window shares: one style on every desktop, and a small font whose fallback carries the
// Traditional Chinese glyphs.

class QApplication;
class QFont;

namespace qv::gui {

// The family that draws the Traditional Chinese labels.
inline constexpr const char* kChineseFamily = "WenQuanYi Micro Hei";

QFont windowFont();
void setUpLook(QApplication& application);

}  // namespace qv::gui

#include "platform/gui/Look.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

namespace qv::gui {

QFont windowFont() {
  QFont font;
  font.setFamilies({QStringLiteral("DejaVu Sans"), QString::fromLatin1(kChineseFamily)});
  font.setPixelSize(11);
  return font;
}

void setUpLook(QApplication& application) {
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
  application.setFont(windowFont());
}

}  // namespace qv::gui

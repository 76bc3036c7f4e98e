#pragma once
// A header of the link that names a widget: Qt's include root reaches every Qt module, but the link's include
// path holds Qt Core alone. With the display's flags it compiles.

#include <QtWidgets/QWidget>

#pragma once

#include <QVariantMap>

// Named, typed properties a widget instance carries in the window layout.
using WidgetProperties = QVariantMap;

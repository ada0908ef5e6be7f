// The program's own icons and pictures, drawn as SVG and compiled into a Qt
// resource, found by the numbers the windows use (icon 10, 100, 110-114, 120,
// 200-205; bitmap 100).
#pragma once

#include <QIcon>
#include <QPixmap>

#include <cstdint>

// Icon id, sharp at every size and device pixel ratio; null for an unknown id.
QIcon LoadIcon(int32_t id);

// Bitmap id at its own size in device-independent pixels, rendered for
// devicePixelRatio (the screen's by default); null for an unknown id.
QPixmap LoadBitmap(int32_t id, qreal devicePixelRatio = 0);

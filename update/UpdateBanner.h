#pragma once
// The banner of the update window, shown while no page is shown. Drawn at
// run time, so no picture file ships with the window.

#include <QPixmap>
#include <QSize>

namespace update {

QPixmap DrawUpdateBanner(const QSize& size);

}  // namespace update

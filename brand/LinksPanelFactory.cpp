#include "brand/LinksPanelFactory.h"

#include "brand/TarnwelUnit.h"
#include "ui/core/WindowEdge.h"

namespace brand {

void CreateLinksPanel(QWidget* host) {
  if (!host) return;
  try {
    // Owned by host, kept for the whole run.
    auto* panel = new TPnlTarnwel(host);
    panel->show();
  } catch (...) {
    ui::SwallowAtEdge("CreateLinksPanel");
  }
}

}  // namespace brand

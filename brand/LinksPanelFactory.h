#pragma once
// The hook the main window calls to build its side bar: the links panel
// with its buttons inside the host panel.

class QWidget;

namespace brand {

// Builds and shows the links panel in host; failures leave host empty.
void CreateLinksPanel(QWidget* host);

}  // namespace brand

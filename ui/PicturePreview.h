#pragma once
// A picture list's preview: the picture drawn into its box, fitted with its
// proportions kept, and the size label that names it with its real size.

#include <string>

class QLabel;

namespace ui {

// Shows the picture at path in box; false when it could not be decoded. A
// JPEG that cannot be decoded is handed to the desktop's program for it and a
// BMP hides the box; otherwise a failed box keeps what it showed.
bool ShowPicturePreview(QLabel* box, const std::string& path);

// label names the picture box shows (shown: the picture at path was just
// drawn): "name [宽度:W,高度:H]" with the real size, whole in the tooltip. A
// picture that could not be shown leaves it as it was; a hidden box clears it.
void ShowPictureSizeLabel(QLabel* label, const QLabel* box, const std::string& path, bool shown);

}  // namespace ui

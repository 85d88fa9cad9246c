#pragma once
// A picture list's preview: the picture drawn into its box, fitted with its
// proportions kept, and the size label that names it with its real size.
// Pictures are decoded off the window's thread (PreviewDecoder) at the box's
// size in device pixels; the window's thread only draws them, and only the
// latest picture asked for.

#include <functional>
#include <string>

#include "ui/PreviewDecoder.h"

class QLabel;

namespace ui {

class PicturePreview {
 public:
  // Both are the window's and must outlive the preview.
  PicturePreview(QLabel* box, QLabel* sizeLabel);

  // Asks for the picture at path. Once decoded it is drawn, and the label
  // names it "name [宽度:W,高度:H]" with its real size, whole in the tooltip.
  // A picture that cannot be decoded leaves the label as it was: a JPEG is
  // handed to the desktop's program for it, a BMP hides the box (and clears
  // the label), any other keeps what the box showed. handBackMemory: the
  // decode's memory goes back to the system once it is done.
  void Show(const std::string& path, bool handBackMemory);
  // A picture asked for that listed(path) no longer lists is not drawn; a
  // box that shows one is cleared, with its label.
  void KeepListed(const std::function<bool(const std::string& path)>& listed);

  // True while a picture asked for is still to be drawn (tests wait for it).
  bool Pending() const { return !asked_.empty(); }

 private:
  void Take(PreviewDecoder::Result result);
  void SetSizeLabel(const std::string& path, bool shown);

  QLabel* const box_;
  QLabel* const label_;
  std::string shown_;  // the picture the box shows; empty for none
  std::string asked_;  // the picture to draw next; empty for none
  PreviewDecoder decoder_;
};

}  // namespace ui

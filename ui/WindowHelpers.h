#pragma once
// Helpers shared by the program's windows: button glyphs and pictures from
// the program's resources (":/bmp/NAME", ":/jpg/NAME"), read through the
// project's own BMP and JPEG loaders; the faded showing of a window; the
// common background colour and fonts.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <string>

class QAbstractButton;
class QWidget;

namespace img {
class Bitmap;
}

namespace ui {

// Background of every window: red 245, green 250, blue 254.
inline constexpr QRgb kWindowBackground = 0xFFF5FAFE;

// A font of the given family and character height in pixels, falling back
// to the installed CJK font when the family is missing.
QFont CjkFont(const QString& family, int pixelHeight);

// Fills widget's background with colour (the widget's own palette only).
void SetBackgroundColor(QWidget* widget, QColor colour);

// The raw bytes of the resource ":/<type>/<name>"; empty when it is missing.
QByteArray ResourceBytes(const std::string& name, const std::string& type);

// Loads glyph from the resource ":/<type>/<name>" (a whole BMP file). False,
// with glyph unchanged, when the resource is missing or cannot be read.
bool LoadGlyph(img::Bitmap& glyph, const std::string& name, const std::string& type = "bmp");

// Loads picture from the JPEG resource ":/<type>/<name>" through the JPEG
// codec. False, with picture unchanged, on any failure.
bool LoadJpegResource(img::Bitmap& picture, const std::string& name,
                      const std::string& type = "jpg");

// A copy of picture as a 24-bit image; a null image for an empty picture.
QImage ToQImage(const img::Bitmap& picture);

// Makes face the whole face of button: drawn at its own size without the
// style's frame or padding (the glyph carries its own border), a highlighted
// copy under the mouse, one pixel lower while pressed.
void SetButtonFace(QAbstractButton* button, const QPixmap& face);

// Gives button the glyph as its face, at the glyph's own size. A missing or
// unreadable glyph leaves the button as it was; the result tells which.
bool SetButtonGlyph(QAbstractButton* button, const std::string& name);

// Fade-in time of ShowAnimated.
inline constexpr int kShowAnimatedMs = 500;

// Brings window to the front, shows it fully transparent and fades it in
// over kShowAnimatedMs; it ends shown and opaque even where the window
// system ignores opacity. Returns at once; the fade runs in the event loop.
void ShowAnimated(QWidget* window);

}  // namespace ui

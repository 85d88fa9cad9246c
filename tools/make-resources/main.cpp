// Draws the pictures the program carries as resources: the button glyphs
// (24-bit BMP, 25 pixels high, label drawn in), the window frame strips, the
// folder-edit backgrounds, the links-panel picture and the desktop icons.
// Usage: make-resources <resources folder>

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <cstdio>
#include <functional>

namespace {

const QColor kWindowBackground(245, 250, 254);
const QColor kBorder(143, 177, 214);
const QColor kText(31, 58, 90);
const QColor kIconBlue(52, 120, 196);
const char* const kCjkFamily = "WenQuanYi Micro Hei";

enum class Look { Normal, Stop };

using IconPainter = std::function<void(QPainter&, const QRectF&)>;

void DrawFolder(QPainter& p, const QRectF& r, bool open) {
  QPainterPath back;
  back.moveTo(r.left(), r.top() + 2);
  back.lineTo(r.left() + 6, r.top() + 2);
  back.lineTo(r.left() + 8, r.top() + 4);
  back.lineTo(r.right(), r.top() + 4);
  back.lineTo(r.right(), r.bottom());
  back.lineTo(r.left(), r.bottom());
  back.closeSubpath();
  p.setPen(QPen(QColor(176, 128, 30), 1));
  p.setBrush(QColor(246, 200, 90));
  p.drawPath(back);
  if (open) {
    QPainterPath front;
    front.moveTo(r.left() + 3, r.top() + 7);
    front.lineTo(r.right() + 1, r.top() + 7);
    front.lineTo(r.right() - 2, r.bottom());
    front.lineTo(r.left(), r.bottom());
    front.closeSubpath();
    p.setBrush(QColor(252, 222, 140));
    p.drawPath(front);
  }
}

void DrawMagnifier(QPainter& p, const QRectF& r) {
  p.setPen(QPen(kIconBlue, 2));
  p.setBrush(Qt::white);
  const QPointF c(r.right() - 4, r.bottom() - 5);
  p.drawEllipse(c, 3.2, 3.2);
  p.drawLine(c + QPointF(2.4, 2.4), c + QPointF(4.5, 4.5));
}

void DrawPicture(QPainter& p, const QRectF& r) {
  p.setPen(QPen(kIconBlue, 1));
  p.setBrush(QColor(224, 238, 252));
  p.drawRect(r.adjusted(0, 2, -1, -2));
  QPainterPath hill;
  hill.moveTo(r.left() + 1, r.bottom() - 3);
  hill.lineTo(r.left() + 6, r.top() + 8);
  hill.lineTo(r.left() + 10, r.bottom() - 6);
  hill.lineTo(r.left() + 12, r.bottom() - 8);
  hill.lineTo(r.right() - 1, r.bottom() - 3);
  hill.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(86, 170, 90));
  p.drawPath(hill);
  p.setBrush(QColor(240, 170, 40));
  p.drawEllipse(QPointF(r.right() - 4, r.top() + 6), 1.8, 1.8);
}

void DrawArrowRight(QPainter& p, const QRectF& r, const QColor& colour) {
  QPainterPath arrow;
  const double y = r.center().y();
  arrow.moveTo(r.left(), y - 2);
  arrow.lineTo(r.right() - 6, y - 2);
  arrow.lineTo(r.right() - 6, y - 6);
  arrow.lineTo(r.right(), y);
  arrow.lineTo(r.right() - 6, y + 6);
  arrow.lineTo(r.right() - 6, y + 2);
  arrow.lineTo(r.left(), y + 2);
  arrow.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPath(arrow);
}

const IconPainter kOpenFolder = [](QPainter& p, const QRectF& r) { DrawFolder(p, r, true); };
const IconPainter kChooseFolder = [](QPainter& p, const QRectF& r) {
  DrawFolder(p, r, false);
  DrawMagnifier(p, r);
};
const IconPainter kConvertPictures = [](QPainter& p, const QRectF& r) {
  DrawPicture(p, r);
  DrawArrowRight(p, QRectF(r.left() + 5, r.top() + 6, 11, 10), QColor(230, 110, 30));
};
const IconPainter kConvertFolder = [](QPainter& p, const QRectF& r) {
  DrawFolder(p, r, false);
  DrawArrowRight(p, QRectF(r.left() + 5, r.top() + 6, 11, 10), QColor(230, 110, 30));
};
const IconPainter kStop = [](QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(150, 20, 20), 1));
  p.setBrush(QColor(214, 48, 48));
  p.drawRoundedRect(r.adjusted(2, 2, -2, -2), 2, 2);
};
const IconPainter kCheck = [](QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(40, 150, 60), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(QPolygonF({QPointF(r.left() + 2, r.center().y()),
                            QPointF(r.left() + 6, r.bottom() - 3),
                            QPointF(r.right() - 1, r.top() + 3)}));
};
const IconPainter kCross = [](QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(200, 50, 50), 2.4, Qt::SolidLine, Qt::RoundCap));
  const QRectF s = r.adjusted(3, 3, -3, -3);
  p.drawLine(s.topLeft(), s.bottomRight());
  p.drawLine(s.topRight(), s.bottomLeft());
};
const IconPainter kQuestion = [](QPainter& p, const QRectF& r) {
  p.setPen(Qt::NoPen);
  p.setBrush(kIconBlue);
  p.drawEllipse(r.adjusted(1, 1, -1, -1));
  QFont f(kCjkFamily);
  f.setPixelSize(12);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(r, Qt::AlignCenter, "?");
};
const IconPainter kDownload = [](QPainter& p, const QRectF& r) {
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 150, 90));
  p.drawEllipse(r.adjusted(1, 1, -1, -1));
  QPainterPath arrow;
  const double x = r.center().x();
  arrow.moveTo(x - 2, r.top() + 4);
  arrow.lineTo(x + 2, r.top() + 4);
  arrow.lineTo(x + 2, r.center().y());
  arrow.lineTo(x + 5, r.center().y());
  arrow.lineTo(x, r.bottom() - 3);
  arrow.lineTo(x - 5, r.center().y());
  arrow.lineTo(x - 2, r.center().y());
  arrow.closeSubpath();
  p.setBrush(Qt::white);
  p.drawPath(arrow);
};
const IconPainter kPower = [](QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(200, 60, 40), 2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  const QRectF ring = r.adjusted(2.5, 3, -2.5, -2);
  p.drawArc(ring, 120 * 16, 300 * 16);
  p.drawLine(QPointF(r.center().x(), r.top() + 1), QPointF(r.center().x(), r.center().y()));
};

// A flat button face: window-coloured corners, a light gradient, a thin
// border, the icon at the left and the label centred in the rest.
QImage DrawGlyph(int width, const QString& label, const IconPainter& icon, Look look) {
  const int height = 25;
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(kWindowBackground);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  QLinearGradient fill(0, 0, 0, height);
  if (look == Look::Stop) {
    fill.setColorAt(0, QColor(255, 247, 245));
    fill.setColorAt(1, QColor(250, 214, 208));
  } else {
    fill.setColorAt(0, QColor(255, 255, 255));
    fill.setColorAt(1, QColor(222, 235, 249));
  }
  p.setPen(QPen(look == Look::Stop ? QColor(214, 140, 130) : kBorder, 1));
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), 3, 3);

  const bool narrow = width < 70;
  const QRectF iconBox(narrow ? 4 : 6, 4.5, 16, 16);
  icon(p, iconBox);

  QFont font(kCjkFamily);
  font.setPixelSize(12);
  p.setFont(font);
  p.setPen(look == Look::Stop ? QColor(150, 30, 20) : kText);
  const QRectF textBox(iconBox.right() + 2, 0, width - iconBox.right() - 5, height);
  p.drawText(textBox, Qt::AlignCenter, label);
  p.end();
  return image.convertToFormat(QImage::Format_RGB888);
}

bool SaveBmp(const QImage& image, const QString& path) {
  // Format_RGB888 has no alpha and more than 256 colours, so Qt's BMP writer
  // stores it with 24 bits per pixel.
  if (!image.save(path, "BMP")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

QImage HorizontalStrip(int width, int height, const QColor& outer, const QColor& inner,
                       bool outerAtLeft) {
  QImage image(width, height, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient g(0, 0, width, 0);
  g.setColorAt(outerAtLeft ? 0 : 1, outer);
  g.setColorAt(outerAtLeft ? 1 : 0, inner);
  p.fillRect(image.rect(), g);
  return image;
}

QImage VerticalStrip(int width, int height, const QColor& outer, const QColor& inner,
                     bool outerAtTop) {
  QImage image(width, height, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient g(0, 0, 0, height);
  g.setColorAt(outerAtTop ? 0 : 1, outer);
  g.setColorAt(outerAtTop ? 1 : 0, inner);
  p.fillRect(image.rect(), g);
  return image;
}

// A corner: the two strip gradients meeting on the diagonal, taken as the
// darker of both so the frame reads as one band.
QImage Corner(int width, int height, bool left, bool top, const QColor& outer,
              const QColor& inner) {
  const QImage h = HorizontalStrip(width, height, outer, inner, left);
  const QImage v = VerticalStrip(width, height, outer, inner, top);
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const QColor a = h.pixelColor(x, y), b = v.pixelColor(x, y);
      image.setPixelColor(x, y, a.lightness() < b.lightness() ? a : b);
    }
  return image;
}

QImage EditBackground() {
  QImage image(400, 28, QImage::Format_RGB32);
  image.fill(kWindowBackground);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kBorder, 1));
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(0.5, 0.5, 399, 27), 2, 2);
  p.setPen(QPen(QColor(226, 236, 247), 1));
  p.drawLine(QPointF(2, 2.5), QPointF(397, 2.5));
  return image;
}

QImage Banner() {
  QImage image(120, 67, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  QLinearGradient g(0, 0, 120, 67);
  g.setColorAt(0, QColor(42, 110, 188));
  g.setColorAt(1, QColor(20, 64, 128));
  p.fillRect(image.rect(), g);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 36));
  p.drawEllipse(QPointF(104, 8), 30, 30);
  p.drawEllipse(QPointF(10, 66), 22, 22);
  QFont big(kCjkFamily);
  big.setPixelSize(17);
  big.setBold(true);
  p.setFont(big);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, 8, 120, 26), Qt::AlignCenter, "Lom软件");
  QFont small(kCjkFamily);
  small.setPixelSize(11);
  p.setFont(small);
  p.setPen(QColor(220, 235, 252));
  p.drawText(QRectF(0, 34, 120, 16), Qt::AlignCenter, "更多实用小软件");
  p.setPen(QColor(255, 214, 90));
  p.drawText(QRectF(0, 49, 120, 15), Qt::AlignCenter, "点击查看 »");
  return image;
}

// The program's icon: two overlapping pictures and a conversion arrow.
QImage AppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 128.0, size / 128.0);
  QLinearGradient g(0, 0, 0, 128);
  g.setColorAt(0, QColor(74, 150, 226));
  g.setColorAt(1, QColor(30, 86, 160));
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(4, 4, 120, 120), 24, 24);

  auto picture = [&p](const QRectF& r, const QColor& sky) {
    p.setPen(QPen(Qt::white, 4));
    p.setBrush(sky);
    p.drawRoundedRect(r, 5, 5);
    QPainterPath hill;
    hill.moveTo(r.left() + 4, r.bottom() - 4);
    hill.lineTo(r.left() + r.width() * 0.38, r.top() + r.height() * 0.45);
    hill.lineTo(r.left() + r.width() * 0.6, r.bottom() - r.height() * 0.3);
    hill.lineTo(r.left() + r.width() * 0.75, r.top() + r.height() * 0.55);
    hill.lineTo(r.right() - 4, r.bottom() - 4);
    hill.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(80, 180, 90));
    p.drawPath(hill);
    p.setBrush(QColor(250, 190, 50));
    p.drawEllipse(QPointF(r.right() - r.width() * 0.22, r.top() + r.height() * 0.25),
                  r.width() * 0.08, r.width() * 0.08);
  };
  picture(QRectF(18, 22, 56, 44), QColor(210, 232, 250));
  picture(QRectF(54, 62, 56, 44), QColor(255, 236, 210));

  QPainterPath arrow;
  arrow.moveTo(30, 76);
  arrow.cubicTo(30, 96, 36, 100, 44, 100);
  p.setPen(QPen(QColor(255, 200, 60), 7, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(arrow);
  QPainterPath head;
  head.moveTo(44, 90);
  head.lineTo(54, 100);
  head.lineTo(44, 110);
  head.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 200, 60));
  p.drawPath(head);
  return image;
}

struct GlyphSpec {
  const char* name;
  const char* label;
  int width;
  const IconPainter* icon;
  Look look;
};

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-resources <resources folder>\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  for (const char* sub : {"bmp", "jpg", "frame", "icons"}) out.mkpath(sub);

  // Folder-row buttons fit their 153/158-wide boxes; batch and side buttons
  // are 122 wide; the dialog buttons are 57 by 26.
  const GlyphSpec glyphs[] = {
      {"BtnicOpenDir", "打开源文件夹", 140, &kOpenFolder, Look::Normal},
      {"BtnSetSourceDir", "选择源文件夹", 140, &kChooseFolder, Look::Normal},
      {"BtnOpenSaveAsDir", "打开输出文件夹", 140, &kOpenFolder, Look::Normal},
      {"BtnSelectSaveAsDir", "选择输出文件夹", 140, &kChooseFolder, Look::Normal},
      {"BtnImgCovert", "所选图片转换", 122, &kConvertPictures, Look::Normal},
      {"BtnDirImgConvert", "文件夹图片转换", 122, &kConvertFolder, Look::Normal},
      {"BtnStopImgConvert", "停止图片转换", 122, &kStop, Look::Stop},
      {"confirm", "确定", 55, &kCheck, Look::Normal},
      {"BtnClose", "关闭", 55, &kCross, Look::Normal},
      {"BtnHelp", "帮助", 122, &kQuestion, Look::Normal},
      {"BtnOnlineUpdate", "在线升级", 122, &kDownload, Look::Normal},
      {"BtnExit", "退出", 122, &kPower, Look::Normal},
  };
  bool ok = true;
  for (const GlyphSpec& g : glyphs)
    ok &= SaveBmp(DrawGlyph(g.width, QString::fromUtf8(g.label), *g.icon, g.look),
                  out.filePath(QString("bmp/%1.bmp").arg(g.name)));

  const QColor outer(110, 155, 200), inner(220, 233, 246);
  struct Frame {
    const char* name;
    QImage image;
  };
  const Frame frames[] = {
      {"ImgLeft", HorizontalStrip(10, 64, outer, inner, true)},
      {"ImgRight", HorizontalStrip(14, 64, outer, inner, false)},
      {"Image4", Corner(10, 11, true, true, outer, inner)},
      {"ImgCenter", VerticalStrip(64, 11, outer, inner, true)},
      {"ImgTopRight", Corner(14, 11, false, true, outer, inner)},
      {"ImgBottomLeft2", Corner(10, 11, true, false, outer, inner)},
      {"ImgBottomLeft", VerticalStrip(64, 11, outer, inner, false)},
      {"bot", Corner(14, 11, false, false, outer, inner)},
      {"ImgTopBG", EditBackground()},
      {"ImgText2", EditBackground()},
  };
  for (const Frame& f : frames) {
    const QString path = out.filePath(QString("frame/%1.png").arg(f.name));
    if (!f.image.convertToFormat(QImage::Format_RGB888).save(path, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      ok = false;
    }
  }

  ok &= Banner().convertToFormat(QImage::Format_RGB888).save(out.filePath("jpg/Tarnwel.jpg"),
                                                             "JPG", 92);
  for (int size : {48, 128, 256})
    ok &= AppIcon(size).save(out.filePath(QString("icons/imgconvert-%1.png").arg(size)), "PNG");
  return ok ? 0 : 1;
}

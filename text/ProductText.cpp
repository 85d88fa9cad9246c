// The language-independent entries: product name, web addresses, the
// captions of the main window and its messages about folders and runs.

#include "text/InterfaceText.h"
#include "text/WebAddresses.h"

namespace text {

void LoadProductText() {
  TxtProductName = "Lom图片批量转换器";
  UrlProductHome = MakerPageAddress(kPathProductHome);
  UrlDemo = MakerPageAddress(kPathDemo);
  UrlUpdateInfo = UpdateInfoAddress();
  // The product home page without scheme and without its closing slash.
  TxtHomePage = "官方主页：" + std::string(kMakerHost) + "/ic";
  TxtConvertFormat = "转换格式";
  TxtZoomType = "图片比例类型";
  TxtZoomSize = "图片缩放尺寸";
  TxtNoZoom = "不缩放";
  TxtZoomToSize = "指定尺寸缩放";
  TxtWidthShort = "宽";
  TxtHeightShort = "高";
  TxtSourceList = "“转换前文件夹”图片列表";
  TxtTargetList = "“转换后文件夹”图片列表";
  TxtSelectPaths = "请选择一个或多个路径";
  TxtWidth = "宽度";
  TxtHeight = "高度";
  TxtConverted = "成功转换";
  TxtAllConverted = "所有转换已完成，请查看“转换后图片列表”";
  FmtFolderNotMade = "无法建立文件夹“%s”，请重新选择一个路径。";
  FmtDropLeftOut = "拖入的图片不在同一个文件夹：只选中了第一个图片所在文件夹中的图片，未选中：%s";
  FmtConfirmRootRun = "源文件夹“%s”是磁盘的根文件夹：将转换整个磁盘上的所有图片，可能需要很长时间。确定要转换吗？";
}

}  // namespace text

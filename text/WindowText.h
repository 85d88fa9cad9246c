#pragma once
// The fixed words of the windows that the language tables (InterfaceText.h)
// do not hold: hints, menu items, messages of the main window, the update
// window and the links panel. UTF-8; "%1" and "%2" are filled in by the
// window that shows them.

namespace text {

// Main window: start-up, hints, folder sides.
inline constexpr char kLoadingFinished[] = "装载完成，请开始使用。";
inline constexpr char kSettingsSetAside[] = "设置文件无法读取，已另存为“%1”，现使用默认设置。";  // %1 = the name it has now
inline constexpr char kSourcePictureHint[] = "源图片：";   // followed by the clicked picture's path
inline constexpr char kTargetPictureHint[] = "当前图片：";  // followed by the clicked picture's path
inline constexpr char kNoTrash[] = "无法建立回收站，所选图片没有删除。";
inline constexpr char kNameSeparator[] = "、";  // between names listed in one line
inline constexpr char kRenameRefused[] = "没有重命名：名称“%s”已被占用或无法使用。";  // %s = the new name
inline constexpr char kConfirmDeleteCount[] = "你确定要删除这%s个图片吗？";  // %s = how many are selected
inline constexpr char kNotTrashed[] = "有%s个图片无法移到回收站，没有删除。";  // %s = how many

// Main window: the size options.
inline constexpr char kAutoByRatio[] = "按原图比例自动调整";
inline constexpr char kAutoFromWidth[] = "根据宽度自动调整";
inline constexpr char kChooseWidth[] = "请选择一个宽度";
inline constexpr char kChooseHeight[] = "请选择一个高度";

// Main window: the lists' menus.
inline constexpr char kMenuOpen[] = "默认打开";
inline constexpr char kMenuOpenFolder[] = "打开所在文件夹";
inline constexpr char kMenuDeleteSelected[] = "删除所选图片";
inline constexpr char kMenuRename[] = " 重命名图片";
inline constexpr char kMenuOpenInPaint[] = "在画图中打开";

// Main window: the runs.
inline constexpr char kSelectPicture[] = "请选择一个要转换的图片";
inline constexpr char kRunStopped[] = "你已停止图片转换";
inline constexpr char kConversionFailed[] = "转换失败";  // followed by the picture's path
inline constexpr char kFailedCountBefore[] = "（";
inline constexpr char kFailedCountAfter[] = "个图片转换失败）";
inline constexpr char kMissedCountBefore[] = "（";
inline constexpr char kMissedCountAfter[] = "个转换后图片未能写出）";
inline constexpr char kRenamedCountBefore[] = "（";
inline constexpr char kRenamedCountAfter[] = "个转换后图片因重名加了编号）";
inline constexpr char kPassedOverBefore[] = "（";
inline constexpr char kPassedOverAfter[] = "个其他类型的文件没有转换）";
inline constexpr char kCountOf[] = " / ";   // between the pictures done and all of a run's
inline constexpr char kCountEnd[] = "  ";   // after the count, before the picture's hint
inline constexpr char kStoppedCountBefore[] = "（已转换";
inline constexpr char kStoppedCountAfter[] = "个图片）";
inline constexpr char kTickAFormat[] = "请至少选择一种转换格式";
inline constexpr char kGiveASize[] = "请在宽度或高度中填写要缩放到的像素数";
inline constexpr char kShowFailures[] = "查看失败的图片";
inline constexpr char kFailuresTitle[] = "转换失败的图片";

// The update window.
inline constexpr char kUpdateBanner[] = "Lom软件在线升级";
inline constexpr char kAlreadyNewest[] = "已经是最新版本";
inline constexpr char kNewVersionInBrowser[] = "发现新版本，已在浏览器中打开下载地址";
inline constexpr char kUpdating[] = "软件正在更新中，请稍候...";
inline constexpr char kDownloadAddressInvalid[] = "下载地址无效";
inline constexpr char kDownloadNeedsHttps[] = "下载地址被拒绝：https 页面的下载地址也须为 https";
inline constexpr char kUpdateDone[] = "更新完成，关闭后将自动重启软件";
inline constexpr char kUpdateFailed[] = "更新下载失败（%1），请稍后再试";  // %1 = the problem
inline constexpr char kCannotWrite[] = "无法写入 %1：%2";  // %1 = the file, %2 = the system's reason
inline constexpr char kFileIncomplete[] = "文件不完整（%1 / %2 字节）";  // %1 written of %2 bytes
inline constexpr char kFileTooLarge[] = "文件过大（超过 %1 字节）";  // %1 = the most bytes allowed
inline constexpr char kDownloadTooLong[] = "下载用时过长";
// Network problems of a download.
inline constexpr char kDownloadRefused[] = "下载地址被拒绝";
inline constexpr char kServerError[] = "服务器返回错误 %1";  // %1 = the HTTP status
inline constexpr char kServerNotFound[] = "找不到服务器";
inline constexpr char kCannotConnect[] = "无法连接到服务器";
inline constexpr char kConnectionClosed[] = "连接被服务器中断";
inline constexpr char kConnectionTimedOut[] = "连接超时";
inline constexpr char kSecureConnectionFailed[] = "安全连接失败";
inline constexpr char kNetworkError[] = "网络错误（代码 %1）";  // %1 = Qt's error code

// The links panel.
inline constexpr char kLinksPictureTip[] = "点击可查看更多软件更新";
inline constexpr char kLinksHeading[] = "热点推荐";
inline constexpr char kLinkNews[] = "今日热点新闻";
inline constexpr char kLinkGames[] = "热门游戏推荐";
inline constexpr char kLinkShopping[] = "网上购物折扣";
inline constexpr char kLinkForum[] = "同城交友论坛";
inline constexpr char kMenuDemo[] = "实例说明(&D)";
inline constexpr char kMenuHomePage[] = "官方主页(&H)";
inline constexpr char kMenuDonate[] = "软件捐助(&J)";
inline constexpr char kMenuAbout[] = "关于(&A)...";

// The program's name as message boxes title it.
inline constexpr char kApplicationName[] = "图片格式批量转换";

}  // namespace text

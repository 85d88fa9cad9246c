// The three language tables of the interface text.

#include "text/InterfaceText.h"
#include "text/WebAddresses.h"

namespace text {

void LoadSimplifiedChineseText() {
  TxtSelectPath = "请选择一个路径";
  TxtInvalidFolderName = "请选择一个合法的文件夹名称";
  FmtDiskMissing = "磁盘%s不存在，请重选择一个路径。";
  TxtAbout = "关于";
  TxtConfirmDelete = "你确定要删除吗？";
  TxtReminder = "提醒";
  TxtRenameCaption = "更改名称";
  TxtName = "名称";
  TxtVersionLabel = "版本号：";
  TxtAuthor = "作者：Lom软件工作室";
  TxtHomePage = "官方主页：" + MakerSiteAddress();
  UrlDonate = MakerPageAddress(kPathDonate);
}

void LoadTraditionalChineseText() {
  TxtSelectPath = "請選擇一個路徑";
  TxtInvalidFolderName = "請選擇一個合法的文件夾名稱";
  FmtDiskMissing = "磁盤%s不存在，請重選擇一個路徑。";
  TxtAbout = "關於";
  TxtConfirmDelete = "你確定要刪除嗎？";
  TxtReminder = "提醒";
  TxtRenameCaption = "更改名稱";
  TxtName = "名稱";
}

// The misspellings and full-width marks are the program's own texts.
void LoadEnglishText() {
  TxtSelectPath = "Please select a path";
  TxtInvalidFolderName = "Please Choose a valid path";
  FmtDiskMissing = "Not exist disk:%s ,please reselect a path.";
  TxtAbout = "About";
  TxtConfirmDelete = "Sure you want to delte it？";
  TxtReminder = "Riminder";
  TxtRenameCaption = "Alter Name";
  TxtName = "Name";
}

}  // namespace text

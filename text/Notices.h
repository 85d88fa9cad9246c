#pragma once
// What the program tells the user about its own situation (the main
// window's hint line, the update window's status line): texts no language
// table carries, in UTF-8.

#include <string_view>

namespace text {

// The user has no home folder and the program's folder takes no files: no
// settings are read or kept anywhere.
inline constexpr std::string_view kNoUserFolderNote = "找不到用户主文件夹，设置不会保存，现使用默认设置。";

// The same situation when an update is to be downloaded: there is no folder
// of the user's own to keep the new program file in.
inline constexpr std::string_view kNoUpdateFolder = "没有可保存更新文件的文件夹";

}  // namespace text

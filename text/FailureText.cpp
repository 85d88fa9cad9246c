#include "text/FailureText.h"

#include <array>

#include "text/InterfaceText.h"

namespace text {

namespace {

struct FailureEntry {
  FailureCode code;
  const char* chinese;
  const char* english;
};

// In the order of FailureCode. imgbatch's words are those its users have
// always read; a failed write has none of its own, the system's reason says it.
constexpr std::array<FailureEntry, 10> kFailures{{
    {FailureCode::NotDecoded, "无法读取图片", "cannot be decoded"},
    {FailureCode::NotResized, "无法缩放图片", "cannot be resized"},
    {FailureCode::NotWritten, "无法写入转换后的图片", ""},
    {FailureCode::TargetIsSource, "转换后的图片就是源图片本身，没有写入", "the target is the source file itself"},
    {FailureCode::WouldReplaceSource, "转换后的图片会覆盖源图片“%s”，没有写入",
     "it would replace the source picture %s"},
    {FailureCode::WouldReplacePicture, "转换后的图片会覆盖源文件夹中的同名文件，没有写入",
     "it would replace the file of that name in a folder the run reads"},
    {FailureCode::NoFreeName, "没有可用的编号文件名，没有写入", "no free numbered name is left for it"},
    {FailureCode::FolderNotMade, "无法建立文件夹：%s", "cannot create the folder %s"},
    {FailureCode::NotAPicture, "不是图片文件", "not a picture file"},
    {FailureCode::OverMemoryBudget, "转换这张图片约需 %s 内存，超过了允许使用的内存，没有转换",
     "converting it would need about %s of memory, more than --memory allows"},
}};

// In the order of FailureCause.
constexpr std::array<const char*, 8> kCauses{{
    "",
    "系统拒绝读写文件",
    "磁盘空间不足",
    "文件已损坏或不是这种图片",
    "文件不完整",
    "图片太大",
    "不支持这种图片",
    "内存不足",
}};

}  // namespace

const char* CauseWords(FailureCause cause, FailureLanguage language) {
  return language == FailureLanguage::Chinese ? kCauses[static_cast<std::size_t>(cause)] : "";
}

const char* FailureWords(FailureCode code, FailureLanguage language) {
  const FailureEntry& entry = kFailures[static_cast<std::size_t>(code)];
  return language == FailureLanguage::Chinese ? entry.chinese : entry.english;
}

std::string DescribeFailure(FailureCode code, const std::string& detail, FailureLanguage language,
                            FailureCause cause) {
  std::string words = FailureWords(code, language);
  if (const std::string because = CauseWords(cause, language); !because.empty())
    words += "（" + because + "）";
  if (words.find("%s") != std::string::npos) return FormatText(words, detail);
  if (detail.empty()) return words;
  if (words.empty()) return detail;
  return words + (language == FailureLanguage::Chinese ? "：" : ": ") + detail;
}

}  // namespace text

#include "text/FailureText.h"

#include <array>

#include "text/EnumTable.h"
#include "text/InterfaceText.h"

namespace text {

namespace {

// One reason as each reader says it: imgbatch's JSON report by its name
// (null where json is null), imgbatch in English, the window in Chinese.
template <typename Code>
struct Reason {
  Code code;
  const char* json;
  const char* english;
  const char* chinese;
};

// What failed. imgbatch's words are those its users have always read; a
// failed write has none of its own, the system's reason says it.
constexpr auto kFailures = std::to_array<Reason<FailureCode>>({
    {FailureCode::NotDecoded, "not_decoded", "cannot be decoded", "无法读取图片"},
    {FailureCode::NotResized, "not_resized", "cannot be resized", "无法缩放图片"},
    {FailureCode::NotWritten, "not_written", "", "无法写入转换后的图片"},
    {FailureCode::TargetIsSource, "target_is_source", "the target is the source file itself",
     "转换后的图片就是源图片本身，没有写入"},
    {FailureCode::WouldReplaceSource, "would_replace_source", "it would replace the source picture %s",
     "转换后的图片会覆盖源图片“%s”，没有写入"},
    {FailureCode::WouldReplacePicture, "would_replace_picture",
     "it would replace the file of that name in a folder the run reads",
     "转换后的图片会覆盖源文件夹中的同名文件，没有写入"},
    {FailureCode::NoFreeName, "no_free_name", "no free numbered name is left for it",
     "没有可用的编号文件名，没有写入"},
    {FailureCode::FolderNotMade, "folder_not_made", "cannot create the folder %s", "无法建立文件夹：%s"},
    {FailureCode::NotAPicture, "not_a_picture", "not a picture file", "不是图片文件"},
    {FailureCode::OverMemoryBudget, "over_memory_budget",
     "converting it would need about %s of memory, more than --memory allows",
     "转换这张图片约需 %s 内存，超过了允许使用的内存，没有转换"},
    {FailureCode::OverMaxSize, "over_max_size", "it does not fit in --max-size %s",
     "图片即使以最低质量保存也超过了大小上限，没有写入：%s"},
    {FailureCode::CropOutside, "crop_outside", "the crop box %s",
     "裁剪区域超出了图片范围，没有转换：%s"},
});
static_assert(OneRowPerCode(kFailures), "a row for each FailureCode, in its order");

// Why it failed. In English the library's detail has always said it.
constexpr auto kCauses = std::to_array<Reason<FailureCause>>({
    {FailureCause::None, nullptr, "", ""},
    {FailureCause::Refused, "refused", "", "系统拒绝读写文件"},
    {FailureCause::DiskFull, "disk_full", "", "磁盘空间不足"},
    {FailureCause::Damaged, "damaged", "", "文件已损坏或不是这种图片"},
    {FailureCause::Truncated, "truncated", "", "文件不完整"},
    {FailureCause::TooLarge, "too_large", "", "图片太大"},
    {FailureCause::Unsupported, "unsupported", "", "不支持这种图片"},
    {FailureCause::OutOfMemory, "out_of_memory", "", "内存不足"},
});
static_assert(OneRowPerCode(kCauses), "a row for each FailureCause, in its order");

template <typename Code>
const char* Words(const Reason<Code>& reason, FailureLanguage language) {
  return language == FailureLanguage::Chinese ? reason.chinese : reason.english;
}

}  // namespace

const char* JsonName(FailureCode code) { return kFailures[static_cast<std::size_t>(code)].json; }

const char* JsonName(FailureCause cause) { return kCauses[static_cast<std::size_t>(cause)].json; }

const char* FailureWords(FailureCode code, FailureLanguage language) {
  return Words(kFailures[static_cast<std::size_t>(code)], language);
}

const char* CauseWords(FailureCause cause, FailureLanguage language) {
  return Words(kCauses[static_cast<std::size_t>(cause)], language);
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

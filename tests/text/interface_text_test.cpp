#include "text/InterfaceText.h"
#include "text/FailureText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "TestSupport.h"
#include "text/WebAddresses.h"

namespace {

// The texts the program must show, as its users know them.
const std::map<std::string, std::string> kSimplified = {
    {"TxtSelectPath", "请选择一个路径"},
    {"TxtInvalidFolderName", "请选择一个合法的文件夹名称"},
    {"FmtDiskMissing", "磁盘%s不存在，请重选择一个路径。"},
    {"TxtAbout", "关于"},
    {"TxtConfirmDelete", "你确定要删除吗？"},
    {"TxtReminder", "提醒"},
    {"TxtRenameCaption", "更改名称"},
    {"TxtName", "名称"},
    {"TxtVersionLabel", "版本号："},
    {"TxtAuthor", "作者：Lom软件工作室"},
    {"TxtProductName", "Lom图片批量转换器"},
    {"TxtConvertFormat", "转换格式"},
    {"TxtZoomType", "图片比例类型"},
    {"TxtZoomSize", "图片缩放尺寸"},
    {"TxtNoZoom", "不缩放"},
    {"TxtZoomToSize", "指定尺寸缩放"},
    {"TxtWidthShort", "宽"},
    {"TxtHeightShort", "高"},
    {"TxtSourceList", "“转换前文件夹”图片列表"},
    {"TxtTargetList", "“转换后文件夹”图片列表"},
    {"TxtSelectPaths", "请选择一个或多个路径"},
    {"TxtWidth", "宽度"},
    {"TxtHeight", "高度"},
    {"TxtConverted", "成功转换"},
    {"TxtAllConverted", "所有转换已完成，请查看“转换后图片列表”"},
};

const std::map<std::string, std::string> kTraditional = {
    {"TxtSelectPath", "請選擇一個路徑"},       {"TxtInvalidFolderName", "請選擇一個合法的文件夾名稱"},
    {"FmtDiskMissing", "磁盤%s不存在，請重選擇一個路徑。"}, {"TxtAbout", "關於"},
    {"TxtConfirmDelete", "你確定要刪除嗎？"},   {"TxtReminder", "提醒"},
    {"TxtRenameCaption", "更改名稱"},           {"TxtName", "名稱"},
};

const std::map<std::string, std::string> kEnglish = {
    {"TxtSelectPath", "Please select a path"},
    {"TxtInvalidFolderName", "Please Choose a valid path"},
    {"FmtDiskMissing", "Not exist disk:%s ,please reselect a path."},
    {"TxtAbout", "About"},
    {"TxtConfirmDelete", "Sure you want to delte it？"},
    {"TxtReminder", "Riminder"},
    {"TxtRenameCaption", "Alter Name"},
    {"TxtName", "Name"},
};

std::string Entry(const std::string& name) {
  for (const text::TextEntry& entry : text::TextEntries())
    if (entry.name == name) return *entry.value;
  ADD_FAILURE() << "no entry " << name;
  return {};
}

void ExpectTable(const std::map<std::string, std::string>& table) {
  for (const auto& [name, value] : table) EXPECT_EQ(Entry(name), value) << name;
}

class InterfaceText : public ::testing::Test {
 protected:
  void SetUp() override { text::ClearInterfaceText(); }
  void TearDown() override { text::ClearInterfaceText(); }
  testsupport::ScopedEnv no_override_{text::kUpdateUrlVariable, std::nullopt};
};

TEST_F(InterfaceText, EmptyUntilApplied) {
  for (const text::TextEntry& entry : text::TextEntries()) EXPECT_TRUE(entry.value->empty()) << entry.name;
}

TEST_F(InterfaceText, ApplyFillsEveryEntryInSimplifiedChinese) {
  text::ApplyInterfaceText();
  EXPECT_EQ(text::LanguageIndex, 0);
  EXPECT_EQ(text::SideButtonHeight, 26);
  ExpectTable(kSimplified);
  EXPECT_EQ(text::TextEntries().size(), 33u);
  for (const text::TextEntry& entry : text::TextEntries()) EXPECT_FALSE(entry.value->empty()) << entry.name;
  // The product text wins over the language table.
  EXPECT_EQ(text::TxtHomePage, "官方主页：www.example.com/ic");
}

TEST_F(InterfaceText, AddressesShareTheMakersHost) {
  text::ApplyInterfaceText();
  const std::string site = text::MakerSiteAddress();
  EXPECT_EQ(site, "https://www.example.com");
  EXPECT_EQ(text::UrlProductHome, site + "/ic/");
  EXPECT_EQ(text::UrlDemo, site + "/demo/ic/");
  EXPECT_EQ(text::UrlUpdateInfo, site + "/update/ic/");
  EXPECT_EQ(text::UrlDonate, site + "/jz/");
  EXPECT_EQ(text::MakerSiteRoot(), site + "/");
  // The home page line is the product home page without scheme or closing slash.
  EXPECT_EQ(text::TxtHomePage, "官方主页：" + text::UrlProductHome.substr(8, text::UrlProductHome.size() - 9));
}

TEST_F(InterfaceText, SimplifiedTableAloneHomePageCarriesTheScheme) {
  text::LoadSimplifiedChineseText();
  EXPECT_EQ(text::TxtHomePage, "官方主页：https://www.example.com");
}

TEST_F(InterfaceText, SelectLanguageAlwaysChoosesSimplifiedChinese) {
  text::LanguageIndex = 2;
  text::SelectLanguage();
  EXPECT_EQ(text::LanguageIndex, 0);
  EXPECT_EQ(text::TxtReminder, "提醒");
  EXPECT_EQ(text::TxtSelectPath, "请选择一个路径");
}

struct LanguageCase {
  const char* name;
  int index;
  const std::map<std::string, std::string>* table;
  friend void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.name << " (" << c.index << ")"; }
};

class OtherLanguage : public InterfaceText, public ::testing::WithParamInterface<LanguageCase> {};

// The traditional and English tables leave the four simplified-only entries
// alone; the product text still fills the home page line.
TEST_P(OtherLanguage, LeavesSimplifiedOnlyEntriesEmpty) {
  text::LanguageIndex = GetParam().index;
  text::LoadSelectedLanguageText();
  text::LoadProductText();
  ExpectTable(*GetParam().table);
  EXPECT_EQ(text::TxtVersionLabel, "");
  EXPECT_EQ(text::TxtAuthor, "");
  EXPECT_EQ(text::UrlDonate, "");
  EXPECT_EQ(text::TxtHomePage, "官方主页：www.example.com/ic");
  EXPECT_EQ(text::TxtProductName, "Lom图片批量转换器");
}

INSTANTIATE_TEST_SUITE_P(Tables, OtherLanguage,
                         ::testing::Values(LanguageCase{"Traditional", 1, &kTraditional},
                                           LanguageCase{"English", 2, &kEnglish}),
                         testsupport::ByName());

class UnknownIndex : public InterfaceText, public ::testing::WithParamInterface<int> {};

TEST_P(UnknownIndex, LoadsSimplifiedChinese) {
  text::LanguageIndex = GetParam();
  text::LoadSelectedLanguageText();
  EXPECT_EQ(text::TxtConfirmDelete, "你确定要删除吗？");
  EXPECT_EQ(text::TxtVersionLabel, "版本号：");
}

INSTANTIATE_TEST_SUITE_P(Indexes, UnknownIndex, ::testing::Values(0, -1, 3, 99), testsupport::ByValue());

TEST_F(InterfaceText, CaptionJoinsProductNameAndVersionWithoutBlank) {
  text::ApplyInterfaceText();
  EXPECT_EQ(text::MainWindowCaption(), "Lom图片批量转换器2.2 - www.example.com");
}

TEST_F(InterfaceText, PartnerLinksByTag) {
  EXPECT_TRUE(text::PartnerLinkAddress(1).ends_with("/#hotnew"));
  EXPECT_TRUE(text::PartnerLinkAddress(2).ends_with("/yx/"));
  EXPECT_TRUE(text::PartnerLinkAddress(3).ends_with("/?tarnwel"));
  EXPECT_TRUE(text::PartnerLinkAddress(4).ends_with("/jy/"));
  EXPECT_EQ(text::PartnerLinkAddress(0), "");
  EXPECT_EQ(text::PartnerLinkAddress(5), "");
}

TEST_F(InterfaceText, UpdateAddressCanBeOverridden) {
  {
    testsupport::ScopedEnv mirror(text::kUpdateUrlVariable, "http://127.0.0.1:8080/update/ic/");
    text::ApplyInterfaceText();
    EXPECT_EQ(text::UrlUpdateInfo, "http://127.0.0.1:8080/update/ic/");
  }
  testsupport::ScopedEnv empty(text::kUpdateUrlVariable, "");
  EXPECT_EQ(text::UpdateInfoAddress(), "https://www.example.com/update/ic/");
}

}  // namespace

// Every failure code and cause has the window's words, in Chinese; the
// cause goes in brackets after them, the detail in place of "%s" or after a
// colon; in English a cause adds nothing and a write failure is the system's
// reason alone, as imgbatch always printed it.
TEST(FailureText, EveryCodeAndCauseHasChineseWordsAndTheDetailItsPlace) {
  using text::FailureCause;
  using text::FailureCode;
  using text::FailureLanguage;
  const auto chinese = [](const std::string& words) {
    return words.find("\xE5") != std::string::npos || words.find("\xE6") != std::string::npos ||
           words.find("\xE7") != std::string::npos;
  };
  for (int c = 0; c < static_cast<int>(FailureCode::Count); ++c)
    EXPECT_TRUE(chinese(text::FailureWords(static_cast<FailureCode>(c), FailureLanguage::Chinese))) << c;
  for (int c = 1; c <= static_cast<int>(FailureCause::OutOfMemory); ++c)
    EXPECT_TRUE(chinese(text::CauseWords(static_cast<FailureCause>(c), FailureLanguage::Chinese))) << c;
  EXPECT_EQ(text::DescribeFailure(FailureCode::NotDecoded, "PNG: not a PNG file", FailureLanguage::Chinese),
            "无法读取图片：PNG: not a PNG file");
  EXPECT_EQ(text::DescribeFailure(FailureCode::NotWritten, "No space left on device", FailureLanguage::Chinese,
                                  FailureCause::DiskFull),
            "无法写入转换后的图片（磁盘空间不足）：No space left on device");
  EXPECT_EQ(text::DescribeFailure(FailureCode::WouldReplaceSource, "/p/a.png", FailureLanguage::English),
            "it would replace the source picture /p/a.png");
  EXPECT_EQ(text::DescribeFailure(FailureCode::NotWritten, "No space left on device", FailureLanguage::English,
                                  FailureCause::DiskFull),
            "No space left on device");
}

#include "update/core/UpdateInfo.h"

#include <gtest/gtest.h>

#include <string>

#include "ParamNames.h"

namespace {

using update::DownloadUrl;
using update::HasNewerVersion;
using update::IsUpdatePage;
using update::LatestVersion;
using update::LoadedPage;
using update::UpdatePageText;

const std::string kAddress = "http://www.example.com/update/ic/";

std::string Signature() { return std::string(update::UpdateSignature); }

// A body as the window cuts it out of the update page.
std::string Body(const std::string& inner) { return "<body>" + inner + "</body>"; }

LoadedPage Page(const std::string& inner) { return {kAddress, Body(inner)}; }

LoadedPage UpdatePage(const std::string& version, const std::string& url = "http://dl.example.com/ic.exe") {
  return Page("<p>" + Signature() + "</p><span>softversion_" + version +
              "_softversion</span><a>softurl_" + url + "_softurl</a>");
}

class UpdateInfoTest : public ::testing::Test {
 protected:
  void SetUp() override { update::ResetUpdateInfo(); }
  void TearDown() override { update::ResetUpdateInfo(); }
};

TEST_F(UpdateInfoTest, ExtractBodyCutsFromOpeningToClosingTag) {
  EXPECT_EQ(update::ExtractBody("<html><head><title>t</title></head><BODY class=\"x\">hi</Body ></html>"),
            "<BODY class=\"x\">hi</Body >");
  // A cut-off page keeps everything after the opening tag.
  EXPECT_EQ(update::ExtractBody("<html><body>half"), "<body>half");
  EXPECT_EQ(update::ExtractBody("<html><bodyguard>x</bodyguard><body>y</body>"), "<body>y</body>");
  EXPECT_EQ(update::ExtractBody("no tags at all"), "");
  EXPECT_EQ(update::ExtractBody(""), "");
}

TEST_F(UpdateInfoTest, NothingLoadedIsNotRecognised) {
  const LoadedPage full = UpdatePage("3.0");
  EXPECT_TRUE(IsUpdatePage(full));
  EXPECT_FALSE(IsUpdatePage({"", full.body}));
  EXPECT_FALSE(IsUpdatePage({kAddress, ""}));

  UpdatePageText = "earlier";
  EXPECT_FALSE(HasNewerVersion({"", full.body}));
  // An empty address stops before the body is read.
  EXPECT_EQ(UpdatePageText, "earlier");
}

TEST_F(UpdateInfoTest, SignatureIsMatchedInAnyLetterCase) {
  std::string shouted = Signature();
  for (char& c : shouted)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  ASSERT_NE(shouted, Signature());
  EXPECT_TRUE(IsUpdatePage(Page("x " + shouted + " y")));
  // Part of the notice is not enough.
  EXPECT_FALSE(IsUpdatePage(Page(Signature().substr(0, Signature().size() - 3))));
}

TEST_F(UpdateInfoTest, PageWithoutSignatureIsNotReadForFields) {
  LatestVersion = 1.5f;
  DownloadUrl = "http://old/";
  const LoadedPage page = Page("softversion_9.9_softversion softurl_http://evil/x.exe_softurl");
  EXPECT_FALSE(IsUpdatePage(page));
  EXPECT_FALSE(HasNewerVersion(page));
  EXPECT_FLOAT_EQ(LatestVersion, 1.5f);
  EXPECT_EQ(DownloadUrl, "http://old/");
  // The body was read all the same.
  EXPECT_EQ(UpdatePageText, page.body);
}

TEST_F(UpdateInfoTest, UpperCaseMarkersAreFoundAndAddressComesOutLowerCase) {
  const LoadedPage page = Page(Signature() + "SOFTVERSION_3.0_SOFTVERSION SoftUrl_HTTP://DL.Example.COM/New/IC.EXE_SoftUrl");
  EXPECT_TRUE(HasNewerVersion(page));
  EXPECT_FLOAT_EQ(LatestVersion, 3.0f);
  EXPECT_EQ(DownloadUrl, "http://dl.example.com/new/ic.exe");
}

TEST_F(UpdateInfoTest, OnlyFirstOccurrenceOfEachMarkerCounts) {
  EXPECT_TRUE(HasNewerVersion(Page(Signature() + "softversion_2.5_softversion softversion_1.0_softversion "
                                   "softurl_http://a/1_softurl softurl_http://b/2_softurl")));
  EXPECT_FLOAT_EQ(LatestVersion, 2.5f);
  EXPECT_EQ(DownloadUrl, "http://a/1");
}

TEST_F(UpdateInfoTest, MissingVersionLeavesPreviousValue) {
  EXPECT_FALSE(HasNewerVersion(Page(Signature() + " softurl_http://a/x_softurl")));
  EXPECT_EQ(LatestVersion, 0.0f);
  EXPECT_EQ(DownloadUrl, "http://a/x");

  EXPECT_TRUE(HasNewerVersion(UpdatePage("3")));
  // A later page without a number keeps the earlier one, so it still counts as newer.
  EXPECT_TRUE(HasNewerVersion(Page(Signature() + "softversion_soon_softversion")));
  EXPECT_FLOAT_EQ(LatestVersion, 3.0f);
}

TEST_F(UpdateInfoTest, MissingUrlMarkersGiveEmptyAddress) {
  DownloadUrl = "http://old/";
  EXPECT_TRUE(HasNewerVersion(Page(Signature() + "softversion_3.0_softversion")));
  EXPECT_EQ(DownloadUrl, "");
  // Closing marker ahead of the opening one: a count below zero.
  DownloadUrl = "http://old/";
  EXPECT_TRUE(HasNewerVersion(Page(Signature() + "softversion_3.0_softversion _softurl softurl_http://x")));
  EXPECT_EQ(DownloadUrl, "");
}

TEST_F(UpdateInfoTest, ParseCutsBetweenMarkersWithOneBasedPositions) {
  UpdatePageText = "softversion_2.75_softversionsofturl_u_softurl";
  update::ParseUpdateInfo();
  EXPECT_FLOAT_EQ(LatestVersion, 2.75f);
  EXPECT_EQ(DownloadUrl, "u");
  UpdatePageText = "softurl__softurl";
  update::ParseUpdateInfo();
  EXPECT_EQ(DownloadUrl, "");
}

struct VersionCase {
  const char* text;
  bool newer;
  friend void PrintTo(const VersionCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class VersionComparison : public UpdateInfoTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionComparison, NewerOnlyAboveThreshold) {
  EXPECT_EQ(HasNewerVersion(UpdatePage(GetParam().text)), GetParam().newer) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    PageVersions, VersionComparison,
    ::testing::Values(VersionCase{"2.2", false}, VersionCase{"2.21", true}, VersionCase{"2.205", false},
                      VersionCase{"2.19", false}, VersionCase{"2.3", true}, VersionCase{"3", true},
                      VersionCase{"1.0", false}, VersionCase{"-5", false}, VersionCase{" 2.3 ", true},
                      VersionCase{"+2.3", true}, VersionCase{"2.3e0", true}, VersionCase{"23e-1", true}),
    [](const auto& info) { return testsupport::ParamName(info.param.text); });

class NotANumber : public UpdateInfoTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(NotANumber, LeavesLatestVersionUnchanged) {
  LatestVersion = 1.25f;
  EXPECT_FALSE(HasNewerVersion(UpdatePage(GetParam())));
  EXPECT_FLOAT_EQ(LatestVersion, 1.25f);
}

INSTANTIATE_TEST_SUITE_P(PageVersions, NotANumber,
                         ::testing::Values("", " ", "2,3", "v2.3", "2.3b", "2.3.1", ".", "-", "inf", "nan",
                                           "1e", "0x10", "1e99", "2 3"),
                         [](const auto& info) {
                           std::string text = info.param;
                           for (std::size_t at; (at = text.find(',')) != std::string::npos;) text.replace(at, 1, " comma ");
                           return testsupport::ParamName(text);
                         });

TEST(DownloadableUrl, OnlyWebAddressesWithHost) {
  EXPECT_TRUE(update::IsDownloadableUrl("http://dl.example.com/ic.exe"));
  EXPECT_TRUE(update::IsDownloadableUrl("https://127.0.0.1:8080/a?b=c"));
  EXPECT_TRUE(update::IsDownloadableUrl("HTTPS://host"));
  for (const char* refused : {"", "file:///etc/passwd", "ftp://host/x.exe", "/usr/bin/x", "c:\\update.exe",
                              "http://", "http:///path", "https:host", "javascript:alert(1)",
                              "http://host/a b", "http://host/\nx", " http://host/x"})
    EXPECT_FALSE(update::IsDownloadableUrl(refused)) << refused;
}

TEST(DownloadableUrl, AnHttpsPageNamesOnlyHttpsDownloads) {
  EXPECT_TRUE(update::IsDownloadableFrom("https://dl.example.com/ic.exe", "https://www.example.com/update/"));
  EXPECT_TRUE(update::IsDownloadableFrom("https://dl.example.com/ic.exe", "http://www.example.com/update/"));
  EXPECT_TRUE(update::IsDownloadableFrom("http://dl.example.com/ic.exe", "http://www.example.com/update/"));
  EXPECT_FALSE(update::IsDownloadableFrom("http://dl.example.com/ic.exe", "HTTPS://www.example.com/update/"));
  EXPECT_FALSE(update::IsDownloadableFrom("file:///etc/passwd", "http://www.example.com/update/"));
}

}  // namespace

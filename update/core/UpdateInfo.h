#pragma once
// The update information page: whether a loaded page is the maker's update
// page, the latest version and download address it offers, and whether that
// version is newer than the program's own. Plain C++; the window fetches the
// page and hands it over as text.

#include <string>
#include <string_view>

namespace update {

// A page as the window loaded it: the address it came from (empty while
// nothing is loaded) and its body, the text from "<body" to "</body>".
struct LoadedPage {
  std::string address;
  std::string body;
};

// The maker's rights notice; the page counts as the update page only when its
// body carries it (letter case aside).
inline constexpr std::string_view UpdateSignature =
    "Copyright(C) Lom软件工作室 www.example.com 版权所有，未经许可不得转载";

// A page version counts as newer when it exceeds the program's by more than this.
inline constexpr long double NewerThreshold = 0.01L;

// Process-wide results of the last reading. They live for the whole run and
// nothing resets them between checks; the download reads DownloadUrl.
extern std::string UpdatePageText;  // lower-cased body of the last page read
extern float LatestVersion;         // 0 until a page offers a number
extern std::string DownloadUrl;     // lower case, as cut out of the page

// The text of an HTML document from "<body" up to and including "</body>"
// (to the end when the closing tag is missing); empty when there is no body tag.
std::string ExtractBody(std::string_view html);

// Whether the page is loaded and carries the signature. Changes no state.
bool IsUpdatePage(const LoadedPage& page);

// Reads the page into UpdatePageText, and when it is the update page parses
// it; true only when the offered version is newer than the program's.
bool HasNewerVersion(const LoadedPage& page);

// Cuts LatestVersion and DownloadUrl out of UpdatePageText.
void ParseUpdateInfo();

// The download is started as a program afterwards, so only web addresses
// (http or https with a host) are fetched.
bool IsDownloadableUrl(std::string_view url);
// The same, and an address named by an https page must be https itself: a
// plain http download could be swapped on the way for another program.
bool IsDownloadableFrom(std::string_view url, std::string_view page_address);

// Back to the start-up values (for tests).
void ResetUpdateInfo();

}  // namespace update

#pragma once
// Every web address the program opens or loads, in one place: the maker's
// site with the product's pages, and the four partner sites of the links
// panel. The hosts are placeholders under the reserved example domains until
// the project has a site of its own.

#include <string>
#include <string_view>

namespace text {

inline constexpr std::string_view kMakerScheme = "https://";
inline constexpr std::string_view kMakerHost = "www.example.com";

inline constexpr std::string_view kPathProductHome = "/ic/";
inline constexpr std::string_view kPathDemo = "/demo/ic/";
inline constexpr std::string_view kPathUpdateInfo = "/update/ic/";
inline constexpr std::string_view kPathDonate = "/jz/";

// Partner links of the links panel, by tag 1 to 4.
inline constexpr std::string_view kPartnerNews = "https://news.example.org/#hotnew";
inline constexpr std::string_view kPartnerGames = "https://games.example.net/yx/";
inline constexpr std::string_view kPartnerShopping = "https://shop.example.org/?tarnwel";
inline constexpr std::string_view kPartnerForum = "https://forum.example.net/jy/";

// Overrides the update information address (tests, mirrors) when set and not empty.
inline constexpr const char* kUpdateUrlVariable = "IMGCONVERT_UPDATE_URL";

// "https://www.example.com": the maker's site with scheme, no trailing slash.
std::string MakerSiteAddress();
// The site root, "https://www.example.com/", opened by a click on the panel picture.
std::string MakerSiteRoot();
// The maker's site followed by path ("/ic/" gives "https://www.example.com/ic/").
std::string MakerPageAddress(std::string_view path);

// The update information page: $IMGCONVERT_UPDATE_URL, else the maker's "/update/ic/".
std::string UpdateInfoAddress();

// The partner address of a link tag 1 to 4; empty for any other tag.
std::string PartnerLinkAddress(int tag);

}  // namespace text

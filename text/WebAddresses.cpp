#include "text/WebAddresses.h"

#include <cstdlib>

namespace text {

std::string MakerSiteAddress() { return std::string(kMakerScheme) + std::string(kMakerHost); }

std::string MakerSiteRoot() { return MakerSiteAddress() + "/"; }

std::string MakerPageAddress(std::string_view path) { return MakerSiteAddress() + std::string(path); }

std::string UpdateInfoAddress() {
  const char* overridden = std::getenv(kUpdateUrlVariable);
  if (overridden && *overridden) return overridden;
  return MakerPageAddress(kPathUpdateInfo);
}

std::string PartnerLinkAddress(int tag) {
  switch (tag) {
    case 1:
      return std::string(kPartnerNews);
    case 2:
      return std::string(kPartnerGames);
    case 3:
      return std::string(kPartnerShopping);
    case 4:
      return std::string(kPartnerForum);
    default:
      return {};
  }
}

}  // namespace text

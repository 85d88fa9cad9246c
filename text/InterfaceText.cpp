#include "text/InterfaceText.h"

#include <array>

#include "text/Version.h"
#include "text/WebAddresses.h"

namespace text {

int LanguageIndex = 0;
int SideButtonHeight = 0;

std::string TxtSelectPath;
std::string TxtInvalidFolderName;
std::string FmtDiskMissing;
std::string TxtAbout;
std::string TxtConfirmDelete;
std::string TxtReminder;
std::string TxtRenameCaption;
std::string TxtName;
std::string TxtVersionLabel;
std::string TxtAuthor;
std::string TxtHomePage;
std::string UrlDonate;

std::string TxtProductName;
std::string UrlProductHome;
std::string UrlDemo;
std::string UrlUpdateInfo;
std::string TxtConvertFormat;
std::string TxtZoomType;
std::string TxtZoomSize;
std::string TxtNoZoom;
std::string TxtZoomToSize;
std::string TxtWidthShort;
std::string TxtHeightShort;
std::string TxtSourceList;
std::string TxtTargetList;
std::string TxtSelectPaths;
std::string TxtWidth;
std::string TxtHeight;
std::string TxtConverted;
std::string TxtAllConverted;
std::string FmtFolderNotMade;
std::string FmtConfirmRootRun;
std::string FmtDropLeftOut;

namespace {

#define TEXT_ENTRY(name) TextEntry{#name, &name}
const std::array kEntries{
    TEXT_ENTRY(TxtSelectPath),    TEXT_ENTRY(TxtInvalidFolderName), TEXT_ENTRY(FmtDiskMissing),
    TEXT_ENTRY(TxtAbout),         TEXT_ENTRY(TxtConfirmDelete),     TEXT_ENTRY(TxtReminder),
    TEXT_ENTRY(TxtRenameCaption), TEXT_ENTRY(TxtName),              TEXT_ENTRY(TxtVersionLabel),
    TEXT_ENTRY(TxtAuthor),        TEXT_ENTRY(TxtHomePage),          TEXT_ENTRY(UrlDonate),
    TEXT_ENTRY(TxtProductName),   TEXT_ENTRY(UrlProductHome),       TEXT_ENTRY(UrlDemo),
    TEXT_ENTRY(UrlUpdateInfo),    TEXT_ENTRY(TxtConvertFormat),     TEXT_ENTRY(TxtZoomType),
    TEXT_ENTRY(TxtZoomSize),      TEXT_ENTRY(TxtNoZoom),            TEXT_ENTRY(TxtZoomToSize),
    TEXT_ENTRY(TxtWidthShort),    TEXT_ENTRY(TxtHeightShort),       TEXT_ENTRY(TxtSourceList),
    TEXT_ENTRY(TxtTargetList),    TEXT_ENTRY(TxtSelectPaths),       TEXT_ENTRY(TxtWidth),
    TEXT_ENTRY(TxtHeight),        TEXT_ENTRY(TxtConverted),         TEXT_ENTRY(TxtAllConverted),
    TEXT_ENTRY(FmtFolderNotMade), TEXT_ENTRY(FmtConfirmRootRun),     TEXT_ENTRY(FmtDropLeftOut),
};
#undef TEXT_ENTRY

}  // namespace

void LoadSelectedLanguageText() {
  switch (LanguageIndex) {
    case 1:
      LoadTraditionalChineseText();
      break;
    case 2:
      LoadEnglishText();
      break;
    default:
      LoadSimplifiedChineseText();
      break;
  }
}

void SelectLanguage() {
  SideButtonHeight = 26;
  // No setting, option or locale chooses another language.
  LanguageIndex = 0;
  LoadSelectedLanguageText();
}

void ApplyInterfaceText() {
  try {
    SelectLanguage();
    LoadProductText();
  } catch (...) {
    // The window comes up with whatever entries were set.
  }
}

std::string FormatText(const std::string& format, const std::string& value) {
  const std::size_t at = format.find("%s");
  if (at == std::string::npos) return format;
  return format.substr(0, at) + value + format.substr(at + 2);
}

std::string MainWindowCaption() {
  return TxtProductName + ProgramVersionText() + " - " + std::string(kMakerHost);
}

std::span<const TextEntry> TextEntries() { return kEntries; }

void ClearInterfaceText() {
  for (const TextEntry& entry : kEntries) entry.value->clear();
  LanguageIndex = 0;
  SideButtonHeight = 0;
}

}  // namespace text

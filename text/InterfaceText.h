#pragma once
// The named, process-wide texts that the program composes at run time
// (messages, captions, format strings, web addresses), and the loaders that
// fill them. Every entry is empty until ApplyInterfaceText runs during the
// main window's creation; readers take the entry by name when they need it.
// Texts are UTF-8.

#include <span>
#include <string>
#include <string_view>

namespace text {

// 0 simplified Chinese, 1 traditional Chinese, 2 English.
extern int LanguageIndex;
// Height in pixels of the three side buttons of the links panel.
extern int SideButtonHeight;

// Entries set by the language tables.
extern std::string TxtSelectPath;
extern std::string TxtInvalidFolderName;
extern std::string FmtDiskMissing;  // %s = the drive of the typed path
extern std::string TxtAbout;
extern std::string TxtConfirmDelete;
extern std::string TxtReminder;
extern std::string TxtRenameCaption;
extern std::string TxtName;
extern std::string TxtVersionLabel;  // simplified Chinese table only
extern std::string TxtAuthor;        // simplified Chinese table only
extern std::string TxtHomePage;      // simplified table, then always the product text
extern std::string UrlDonate;        // simplified Chinese table only

// Entries set by the product text.
extern std::string TxtProductName;
extern std::string UrlProductHome;
extern std::string UrlDemo;
extern std::string UrlUpdateInfo;
extern std::string TxtConvertFormat;
extern std::string TxtZoomType;
extern std::string TxtZoomSize;
extern std::string TxtNoZoom;
extern std::string TxtZoomToSize;
extern std::string TxtWidthShort;
extern std::string TxtHeightShort;
extern std::string TxtSourceList;
extern std::string TxtTargetList;
extern std::string TxtSelectPaths;
extern std::string TxtWidth;
extern std::string TxtHeight;
extern std::string TxtConverted;  // followed directly by the source picture's path
extern std::string TxtAllConverted;
extern std::string FmtFolderNotMade;  // %s = the folder that could not be made
extern std::string FmtConfirmRootRun;  // %s = the root a folder run would walk
extern std::string FmtDropLeftOut;  // %s = the dropped files of other folders, not selected

// The language tables; each assigns its entries and leaves the others alone.
void LoadSimplifiedChineseText();
void LoadTraditionalChineseText();
void LoadEnglishText();
// The language-independent entries; runs after a language table and wins
// where both assign (TxtHomePage).
void LoadProductText();

// Runs the table that LanguageIndex names: 1 traditional, 2 English, any
// other value simplified Chinese.
void LoadSelectedLanguageText();
// Sets SideButtonHeight to 26 and LanguageIndex to 0, then loads the
// selected table: the interface always comes up in simplified Chinese.
void SelectLanguage();
// SelectLanguage, then LoadProductText. A failure is swallowed; entries not
// yet set stay empty.
void ApplyInterfaceText();

// format with its one "%s" replaced by value; a format without one as it is.
std::string FormatText(const std::string& format, const std::string& value);

// The main window caption: TxtProductName directly followed by the version
// ("2.2"), then " - " and the maker's web address without scheme.
std::string MainWindowCaption();

// Every entry by its name, for checks over the whole set.
struct TextEntry {
  std::string_view name;
  std::string* value;
};
std::span<const TextEntry> TextEntries();
// Empties every entry and resets both integers, as at process start.
void ClearInterfaceText();

}  // namespace text

#pragma once
// The window program's dialogs: Qt message boxes and the Qt folder browser,
// titled with the application's name and owned by the active window, with
// Qt's own words (standard buttons, the browser) in simplified Chinese.

#include "ui/core/Dialogs.h"

namespace ui {

// Loads Qt's simplified-Chinese translations, as the rest of the interface
// speaks, whatever the system's language. False when they are not
// installed: Qt's words then stay English.
bool InstallQtTranslations();

class QtDialogs : public Dialogs {
 public:
  void ShowMessage(const std::string& text, int x = -1, int y = -1) override;
  void ShowError(const std::string& text) override;
  bool AskYesNo(const std::string& text, const std::string& title) override;
  void ShowList(const std::string& title, const std::vector<std::string>& entries) override;
  std::string BrowseForFolder(const std::string& prompt, const std::string& start) override;
};

}  // namespace ui

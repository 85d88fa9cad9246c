#pragma once
// The dialogs every test installs: each message, error, question and folder
// browse is recorded, nothing is shown, and the answers are the test's.

#include <string>
#include <utility>
#include <vector>

#include "ui/core/Dialogs.h"

namespace testsupport {

class RecordingDialogs : public ui::Dialogs {
 public:
  struct Place {
    int x;
    int y;
  };

  void ShowMessage(const std::string& text, int x, int y) override {
    messages.push_back(text);
    messagePlaces.push_back({x, y});
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  bool AskYesNo(const std::string& text, const std::string& title) override {
    questions.push_back({text, title});
    return answer;
  }
  void ShowList(const std::string& title, const std::vector<std::string>& entries) override {
    lists.push_back({title, entries});
  }
  std::string BrowseForFolder(const std::string& prompt, const std::string& start) override {
    browses.push_back({prompt, start});
    return browseResult;
  }

  std::vector<std::string> messages, errors;
  // Where each message was asked to appear (-1: centred on its owner).
  std::vector<Place> messagePlaces;
  std::vector<std::pair<std::string, std::string>> questions, browses;  // text/prompt, title/start
  std::vector<std::pair<std::string, std::vector<std::string>>> lists;   // title, entries
  // Yes, as a user going on would; the tests of the No path set it.
  bool answer = true;
  std::string browseResult;  // empty: the browser was cancelled
};

}  // namespace testsupport

#pragma once
// One failure of a run, as a record: the file it concerns, what failed, and
// the detail a library or the system gave. Words come from the failure
// table of text/ at the edge that shows it.

#include <string>

#include "text/FailureText.h"

namespace engine {

struct ConversionFailure {
  std::string path;  // the source, or the target that was not written
  text::FailureCode code = text::FailureCode::NotWritten;
  std::string detail;

  // "path: words", as imgbatch prints it (English) or the window lists it.
  std::string Line(text::FailureLanguage language = text::FailureLanguage::English) const {
    return path + (language == text::FailureLanguage::Chinese ? "：" : ": ") +
           text::DescribeFailure(code, detail, language);
  }
  bool operator==(const ConversionFailure&) const = default;
};

}  // namespace engine

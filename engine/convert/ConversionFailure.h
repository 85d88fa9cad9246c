#pragma once
// One failure of a run, as a record: the file it concerns, what failed, and
// the detail a library or the system gave. Words come from the failure
// table of text/ at the edge that shows it.

#include <exception>
#include <string>
#include <system_error>

#include "text/FailureText.h"

namespace engine {

struct ConversionFailure {
  std::string path;  // the source, or the target that was not written
  text::FailureCode code = text::FailureCode::NotWritten;
  std::string detail;
  text::FailureCause cause = text::FailureCause::None;

  // "path: words", as imgbatch prints it (English) or the window lists it.
  std::string Line(text::FailureLanguage language = text::FailureLanguage::English) const {
    return path + (language == text::FailureLanguage::Chinese ? "：" : ": ") +
           text::DescribeFailure(code, detail, language, cause);
  }
  bool operator==(const ConversionFailure&) const = default;
};

// The cause a failure tells: an img::ImageError's code, exhausted memory,
// or the system's reason.
text::FailureCause CauseOf(const std::exception& failure);
text::FailureCause CauseOf(std::error_code reason);

}  // namespace engine

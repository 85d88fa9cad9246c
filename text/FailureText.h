#pragma once
// What a failed picture's record says: one table with a row for each
// failure code and each cause, giving its name in imgbatch's JSON report and
// its words, in English for imgbatch and in simplified Chinese for the
// window. The detail a library gave (a decoder's message, the system's
// reason) follows the words as it is. A new reason is its enumerator here
// and its row in the table.

#include <string>

namespace text {

enum class FailureCode {
  NotDecoded,          // the source could not be read as a picture
  NotResized,          // the shrink failed
  NotWritten,          // a target could not be encoded or written
  TargetIsSource,      // the target would be the source file itself
  WouldReplaceSource,  // the target would replace a picture the run reads (detail: that picture)
  WouldReplacePicture, // the target would replace another file of a folder the run reads
  NoFreeName,          // no numbered name was left for the target
  FolderNotMade,       // the target's folder could not be made (detail: the folder and why)
  NotAPicture,         // the file is of no kind the program reads
  OverMemoryBudget,    // converting it would need more memory than the run may use (detail: how much)
  OverMaxSize,         // the target does not fit --max-size even at quality 1 (detail: limit, smallest size)
  CropOutside,         // the crop box reaches past the picture (detail: the box and the picture's size)
  Count                // not a code: how many there are; new codes go above it
};

// Why a step failed, as far as the library or the system told: the few
// causes a user can act on, each with words of its own.
enum class FailureCause {
  None,         // not told, or nothing a user can do about it
  Refused,      // the file system refused a read or a write
  DiskFull,     // the disk is full
  Damaged,      // the file is not a valid picture of its kind
  Truncated,    // the file ends before its picture does
  TooLarge,     // the picture is larger than the program converts
  Unsupported,  // a valid picture of a variant the program does not read
  OutOfMemory,  // the memory the step needs could not be had
  Count         // not a cause: how many there are; new causes go above it
};

enum class FailureLanguage { Chinese, English };

// The name imgbatch's JSON report gives code.
const char* JsonName(FailureCode code);
// The name imgbatch's JSON report gives cause; null for None.
const char* JsonName(FailureCause cause);
// The words for code; a "%s" in them is where the detail goes.
const char* FailureWords(FailureCode code, FailureLanguage language);
// The words for cause; empty for None, and in English, where the library's
// detail has always said it.
const char* CauseWords(FailureCause cause, FailureLanguage language);

// The words with the cause in brackets and the detail: in place of "%s",
// else after a colon.
std::string DescribeFailure(FailureCode code, const std::string& detail, FailureLanguage language,
                            FailureCause cause = FailureCause::None);

}  // namespace text

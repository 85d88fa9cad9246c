// The cause a failure's record tells, from whatever ended the step: a
// codec's or the file layer's error, exhausted memory, a foreign exception,
// the system's reason; and the name imgbatch's JSON report gives it.

#include "engine/convert/ConversionFailure.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <new>
#include <stdexcept>
#include <string>

#include "platform/ImageError.h"

namespace {

struct CauseCase {
  const char* name;
  text::FailureCause (*told)();
  const char* json;  // null: the report's null, no cause told
  friend void PrintTo(const CauseCase& c, std::ostream* os) { *os << c.name; }
};

text::FailureCause Thrown(const std::exception& e) { return engine::CauseOf(e); }
text::FailureCause Reason(int error) { return engine::CauseOf(std::error_code(error, std::generic_category())); }

class FailureCauses : public ::testing::TestWithParam<CauseCase> {};

TEST_P(FailureCauses, AreToldAndNamedForTheReport) {
  const char* json = text::JsonName(GetParam().told());
  EXPECT_EQ(json ? std::string(json) : "null", GetParam().json ? GetParam().json : "null");
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailureCauses,
    ::testing::Values(
        CauseCase{"DamagedFile", [] { return Thrown(img::ImageError(img::ErrorCode::Format, "PNG")); }, "damaged"},
        CauseCase{"FullDiskOnWrite", [] { return Thrown(img::ImageError(img::ErrorCode::NoSpace, "w")); }, "disk_full"},
        CauseCase{"HostFailure", [] { return Thrown(img::ImageError(img::ErrorCode::Internal, "x")); }, nullptr},
        CauseCase{"ExhaustedMemory", [] { return Thrown(std::bad_alloc()); }, "out_of_memory"},
        CauseCase{"ForeignException", [] { return Thrown(std::runtime_error("x")); }, nullptr},
        CauseCase{"SystemFullDisk", [] { return Reason(ENOSPC); }, "disk_full"},
        CauseCase{"SystemOutOfMemory", [] { return Reason(ENOMEM); }, "out_of_memory"},
        CauseCase{"SystemRefusal", [] { return Reason(EACCES); }, "refused"},
        CauseCase{"NoSystemError", [] { return Reason(0); }, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

#pragma once
// A set of the format table's entries: the formats a conversion writes.

#include <bitset>
#include <cstddef>
#include <initializer_list>
#include <string_view>

namespace engine {

struct PictureFormat;

// The formats a conversion writes: a set of the format table's entries
// (PictureFormats.h). By default the four kinds the program has always
// written: BMP, JPG, JPEG and PNG.
class FormatTicks {
 public:
  static constexpr std::size_t kMostFormats = 32;  // entries the table may have

  FormatTicks();
  static FormatTicks Nothing();
  // The entries named, as imgbatch's -f names them; throws
  // std::invalid_argument for a name the table does not have.
  static FormatTicks Named(std::initializer_list<std::string_view> names);

  bool Has(const PictureFormat& format) const;
  void Set(const PictureFormat& format, bool ticked);
  void Set(std::string_view name, bool ticked);  // as Named names it
  bool None() const { return ticks_.none(); }
  bool operator==(const FormatTicks&) const = default;

 private:
  explicit FormatTicks(std::bitset<kMostFormats> ticks) : ticks_(ticks) {}
  std::bitset<kMostFormats> ticks_;  // by the entry's place in the table
};

}  // namespace engine

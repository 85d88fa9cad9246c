#include "engine/plan/NameTemplate.h"

#include <array>
#include <string_view>

namespace engine {

namespace {

enum class Field { Name, Ext, Width, Height };

struct KnownField {
  std::string_view text;
  Field field;
};

constexpr std::array kFields{KnownField{"{name}", Field::Name}, KnownField{"{ext}", Field::Ext},
                             KnownField{"{w}", Field::Width}, KnownField{"{h}", Field::Height}};

// The field that text begins with at position at; nullptr for none.
const KnownField* FieldAt(std::string_view text, std::size_t at) {
  for (const KnownField& known : kFields)
    if (text.substr(at, known.text.size()) == known.text) return &known;
  return nullptr;
}

}  // namespace

std::string NameTemplateProblem(const std::string& text) {
  if (text.empty()) return "is empty: every target would be named by its extension alone";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '/' || c == '\\')
      return std::string("has a folder separator '") + c + "': a name cannot lead into another folder";
    if (c == '}') return "has a '}' that closes no field";
    if (c != '{') continue;
    const KnownField* field = FieldAt(text, i);
    if (!field) {
      const std::size_t close = text.find('}', i);
      return close == std::string::npos ? "has a '{' that no '}' closes"
                                        : "has an unknown field " + text.substr(i, close - i + 1) +
                                              " (the fields are {name}, {ext}, {w} and {h})";
    }
    i += field->text.size() - 1;
  }
  return {};
}

bool NameTemplateUsesSize(const std::string& text) {
  return text.find("{w}") != std::string::npos || text.find("{h}") != std::string::npos;
}

std::string ExpandNameTemplate(const std::string& text, const NameFields& fields) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const KnownField* field = text[i] == '{' ? FieldAt(text, i) : nullptr;
    if (!field) {
      out += text[i];
      continue;
    }
    switch (field->field) {
      case Field::Name: out += fields.name; break;
      case Field::Ext: out += fields.ext; break;
      case Field::Width: out += std::to_string(fields.width); break;
      case Field::Height: out += std::to_string(fields.height); break;
    }
    i += field->text.size() - 1;
  }
  return out;
}

}  // namespace engine

#pragma once
// A template for target names (imgbatch's --name): text, and fields in
// braces that each picture fills in:
//   {name}  the source's file name without its extension, in its own case
//   {ext}   the target's extension without its dot
//   {w} {h} the target picture's width and height in pixels
// The target's extension follows what the template gives, so
// "{name}_small" makes "IMG_1.jpg" into "IMG_1_small.png" for a PNG target.

#include <string>

namespace engine {

struct NameFields {
  std::string name;  // {name}
  std::string ext;   // {ext}
  int width = 0;     // {w}
  int height = 0;    // {h}
};

// Why text cannot name files, in a few words ("has a path separator '/'");
// empty when it can. A template names files when it is not empty, holds no
// folder separator ('/' or '\', on every system: a name must not lead into
// another folder) and every brace belongs to one of the fields.
std::string NameTemplateProblem(const std::string& text);

// True when the template has {w} or {h}: the picture's size must be known
// before it is named.
bool NameTemplateUsesSize(const std::string& text);

// The template with its fields filled in; a template NameTemplateProblem
// refuses keeps its stray braces as text.
std::string ExpandNameTemplate(const std::string& text, const NameFields& fields);

}  // namespace engine

#pragma once
// The folder separator of this system, the one place that knows it.

namespace engine {

// What joins folder names: '/' here, '\' on Windows.
char FolderSeparator();

// True for every character that ends a folder name: '/' everywhere, '\'
// too on Windows.
bool IsFolderSeparator(char c);

}  // namespace engine

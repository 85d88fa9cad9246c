#pragma once
// The folder separator of this system, the one place that knows it.

namespace img {

// What joins folder names: '/' here, '\' on Windows.
char FolderSeparator();

// True for every character that ends a folder name: '/' everywhere, '\'
// too on Windows.
bool IsFolderSeparator(char c);

}  // namespace img

#pragma once
// Every shell action of the program (open a file or address with its
// program, open a folder in the file manager, start a program, open in the
// paint program, move to the trash) goes through this interface, so tests
// record the calls and never start anything. Plain C++: the Qt
// implementation lives in QtShell.

#include <string>

namespace ui {

class Shell {
 public:
  virtual ~Shell() = default;
  // A file, folder or web address, with the program the desktop associates with it.
  virtual void OpenDocument(const std::string& target) = 0;
  // A folder in the file manager.
  virtual void OpenFolder(const std::string& folder) = 0;
  // Starts a program; hidden asks for no window. False when it could not start.
  virtual bool StartProgram(const std::string& program, bool hidden = false) = 0;
  // A picture in the desktop's paint program.
  virtual void OpenInPaint(const std::string& file) = 0;
  // Moves a file to the trash; true when it is gone from its folder. A file
  // goes nowhere but into the trash: without one it stays.
  [[nodiscard]] virtual bool MoveToTrash(const std::string& file) = 0;
  // Whether there is a trash to move files to, made first where the desktop
  // expects one and it is missing. False: nothing can be trashed now.
  virtual bool PrepareTrash() { return true; }
};

Shell& CurrentShell();
Shell* InstallShell(Shell* s);

}  // namespace ui

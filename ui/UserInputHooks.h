#pragma once
// Handlers for user input that Qt widgets have no signal for: a click into a
// line edit, a line edit losing the focus to another control of its window,
// and the user picking an item of a list with the mouse or the keyboard (but
// not the program setting the current item).

#include <functional>

class QLineEdit;
class QListWidget;

namespace ui {

// Runs handler when the mouse button is released over edit.
void OnEditClick(QLineEdit* edit, std::function<void()> handler);

// Runs handler when edit loses the focus to another control; switching to
// another window or opening a popup menu is not leaving the edit.
void OnEditExit(QLineEdit* edit, std::function<void()> handler);

// Runs handler after a mouse click on an item of list, and after a key that
// moved its current item. Setting the current item from code does not run it.
void OnUserPick(QListWidget* list, std::function<void()> handler);

}  // namespace ui

#pragma once

// The key codes and shift states the list's key events carry: one number per physical
// key (13 Enter, 46 Delete, 65-90 letters, 112-123 F1-F12, ...) whatever the keyboard
// layout types, and 1 Shift + 2 Ctrl + 4 Alt, which the window's key handlers are written
// against.

#include <Qt>

// 0 for a key without a code.
int virtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers);
int shiftStateOf(Qt::KeyboardModifiers modifiers);
// 1 left, 2 right, 4 middle, 0 none; for several, the first of left, right, middle.
int mouseButtonCode(Qt::MouseButtons buttons);

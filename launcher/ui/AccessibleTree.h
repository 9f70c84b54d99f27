#pragma once

// What a screen reader is told about the window beyond the controls' own names.

class QComboBox;
class QWidget;

// Leaves `widget` out of the accessibility tree: it still draws, but is not read. For a
// widget that only repeats another one's content (the title's shadow). Its parent must be
// a plain QWidget or QFrame.
void hideFromAccessibility(QWidget* widget);

// Has `box` read by its accessible name, with its current text as its value. A combo box
// is otherwise named by its current text alone on Linux, so a screen reader says "stella"
// and never what the box is for.
void nameComboBox(QComboBox* box);

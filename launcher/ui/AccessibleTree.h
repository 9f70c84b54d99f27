#pragma once

// What a screen reader is told about the window beyond the controls' own names.

class QWidget;

// Leaves `widget` out of the accessibility tree: it still draws, but is not read. For a
// widget that only repeats another one's content (the title's shadow). Its parent must be
// a plain QWidget or QFrame.
void hideFromAccessibility(QWidget* widget);

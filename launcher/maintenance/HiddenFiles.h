#pragma once

// Hiding files by pattern. A file counts as hidden when its folder's ".hidden" file names
// it (the desktop file managers' convention, which the file list follows); hiding adds
// names there and never renames or changes the files themselves.

#include <QString>
#include <QStringList>

// The wildcard pattern for a typed hide answer, lower-cased: square brackets typed by the
// user match themselves, and braces stand for the class brackets ("{0-9}" is "[0-9]").
QString hideMatchPattern(const QString& answer);

// The names among `names` (in their order, each once) that `pattern` matches without
// regard to letter case. A malformed pattern matches nothing.
QStringList namesMatchingHidePattern(const QStringList& names, const QString& pattern);

// A ".hidden" that is not a plain file of its own (a link, even to a file, a FIFO, a
// folder) is read like any list but never changed: the two commands below leave it and
// whatever it points to exactly as they are, and answer false.

// Adds the names not yet in `folder`'s ".hidden" list. Names that the list cannot hold
// (a line break in them) are left visible. False when the list could not be written.
bool addToHiddenList(const QString& folder, const QStringList& names);

// Makes every hidden file of `folder` visible again: its ".hidden" list keeps only the
// entries naming sub-folders, which the file list never showed anyway. False when the list
// exists but could not be rewritten.
bool clearHiddenFiles(const QString& folder);

#pragma once

// A small file in which a run writes down what it is about to change, before the
// change begins, so that the next run can finish or undo what a killed one left half
// done. While its run lives the note is locked; a note nobody holds belongs to a run that
// is gone.

#include <QByteArray>
#include <QString>

#include <functional>

namespace platform {

class DurableNote {
public:
    // A new note in `folder`, made (with its parents) when missing; nothing is created
    // until the first write.
    explicit DurableNote(QString folder);
    ~DurableNote();
    DurableNote(const DurableNote&) = delete;
    DurableNote& operator=(const DurableNote&) = delete;

    // Replaces what the note says; a run killed after it returned true leaves the note
    // saying it (the note's name is synced into its folder when first made). Written in
    // place: a batch writing one note after another pays for the write calls alone.
    bool write(const QByteArray& content);
    // The note says nothing any more. Not synced: a note whose changes are all made, or
    // none of them, asks nothing of the next run either.
    void clear();

private:
    QString m_folder;
    QString m_path;
    int m_fd = -1;
    qsizetype m_size = 0;
};

// Calls `visit` with the content of each note in `folder` that no live run holds, one at
// a time, the note locked meanwhile; a note is removed once `visit` returns true.
void takeAbandonedNotes(const QString& folder,
                        const std::function<bool(const QByteArray& content)>& visit);

}  // namespace platform

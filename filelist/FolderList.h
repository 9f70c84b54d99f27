#pragma once

// The file-list mode of the list: a folder, masks and attribute switches, listed into a
// ListModel with the name, size, type, date and raw-size columns.

#include <QString>

#include <functional>

class ListModel;

class FolderList {
public:
    explicit FolderList(ListModel& model) : m_model(model) {}

    QString path() const { return m_path; }
    // Ensures the trailing "/", lists when the folder differs (letter case counts); an
    // empty value clears the list and forgets the folder.
    void setPath(const QString& value);
    QString Pattern() const { return m_pattern; }
    // Stores and lists, changed or not.
    void setPattern(const QString& value);
    // The switches take effect at the next listing. On Linux only Hidden leaves anything
    // out; the others are kept for their stored values.
    bool Archive() const { return m_archive; }
    void setArchive(bool v) { m_archive = v; }
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool v) { m_readOnly = v; }
    bool Hidden() const { return m_hidden; }
    void setHidden(bool v) { m_hidden = v; }
    bool System() const { return m_system; }
    void setSystem(bool v) { m_system = v; }
    // 32 Archive + 1 ReadOnly + 2 Hidden + 4 System.
    int attributeMask() const;

    void Refresh() { list(); }
    // Stores the pattern without listing (the control's start-up does so).
    void initPattern(const QString& value) { m_pattern = value; }
    // Sort by a clicked header: name, size (by the raw-size column), type, date. False when
    // nothing was sorted.
    bool SortFilesByColumnClick(int Column);

    // Called with true before the folder is read and false after, so a view can show the
    // busy pointer and stop repainting meanwhile.
    std::function<void(bool)> onBusy;

private:
    void list();

    ListModel& m_model;
    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    bool m_archive = true;
    bool m_readOnly = true;
    bool m_hidden = false;
    bool m_system = false;
};

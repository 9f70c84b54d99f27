// Saving and restoring the control's design values, key by key in one fixed order.

#include "filelist/ui/FileListView.h"

#include <QFile>

#include <functional>
#include <vector>

namespace {

struct StoredProperty {
    const char* key;
    QVariant defaultValue;
    std::function<QVariant(const FileListView&)> get;
    std::function<void(FileListView&, const QVariant&)> set;
};

StoredProperty flag(const char* key, bool def, bool (FileListView::*get)() const,
                    void (FileListView::*set)(bool)) {
    return {key, def, [get](const FileListView& c) { return QVariant((c.*get)()); },
            [set](FileListView& c, const QVariant& v) { (c.*set)(v.toBool()); }};
}

StoredProperty number(const char* key, int def, int (FileListView::*get)() const,
                      void (FileListView::*set)(int)) {
    return {key, def, [get](const FileListView& c) { return QVariant((c.*get)()); },
            [set](FileListView& c, const QVariant& v) { (c.*set)(v.toInt()); }};
}

StoredProperty colour(const char* key, quint32 def, quint32 (FileListView::*get)() const,
                      void (FileListView::*set)(quint32)) {
    return {key, qint64(def), [get](const FileListView& c) { return QVariant(qint64((c.*get)())); },
            [set](FileListView& c, const QVariant& v) { (c.*set)(quint32(v.toLongLong())); }};
}

StoredProperty text(const char* key, const char* def, QString (FileListView::*get)() const,
                    void (FileListView::*set)(const QString&)) {
    return {key, QString::fromLatin1(def),
            [get](const FileListView& c) { return QVariant((c.*get)()); },
            [set](FileListView& c, const QVariant& v) { (c.*set)(v.toString()); }};
}

// After "Font". "Path" comes before "Pattern", so a stored folder is listed as soon as it
// is read, and the attribute switches after both, for the next listing. "OneClickActivate"
// comes twice with two defaults: stored once whatever it is, and true when absent.
const std::vector<StoredProperty>& storedProperties() {
    using C = FileListView;
    static const std::vector<StoredProperty> table = {
        colour("ForeColor", 0x80000008u, &C::ForeColor, &C::setForeColor),
        colour("BackColor", 0x80000005u, &C::BackColor, &C::setBackColor),
        number("ViewMode", 1, &C::ViewMode, &C::setViewMode),
        flag("MultiSelect", true, &C::MultiSelect, &C::setMultiSelect),
        flag("SingleRow", false, &C::SingleRow, &C::setSingleRow),
        flag("SimpleSelect", false, &C::SimpleSelect, &C::setSimpleSelect),
        flag("HideLabels", false, &C::HideLabels, &C::setHideLabels),
        flag("SnapIconsToGrid", true, &C::SnapIconsToGrid, &C::setSnapIconsToGrid),
        flag("LabelEdit", false, &C::LabelEdit, &C::setLabelEdit),
        flag("GridLines", false, &C::GridLines, &C::setGridLines),
        flag("FullRowSelect", true, &C::FullRowSelect, &C::setFullRowSelect),
        text("BackgroundPicture", "", &C::BackgroundPicture, &C::setBackgroundPicture),
        number("BorderStyle", 1, &C::BorderStyle, &C::setBorderStyle),
        flag("CheckBoxes", false, &C::CheckBoxes, &C::setCheckBoxes),
        flag("Enabled", true, &C::Enabled, &C::setEnabled),
        flag("FlatScrollBar", false, &C::FlatScrollBar, &C::setFlatScrollBar),
        flag("HeaderFlat", false, &C::HeaderFlat, &C::setHeaderFlat),
        flag("HeaderDragDrop", true, &C::HeaderDragDrop, &C::setHeaderDragDrop),
        flag("HideSelection", false, &C::HideSelection, &C::setHideSelection),
        flag("InfoTips", true, &C::InfoTips, &C::setInfoTips),
        flag("LabelTips", true, &C::LabelTips, &C::setLabelTips),
        flag("NoScrollBar", false, &C::NoScrollBar, &C::setNoScrollBar),
        flag("OneClickActivate", false, &C::OneClickActivate, &C::setOneClickActivate),
        number("OLEDropMode", 0, &C::OLEDropMode, &C::setOLEDropMode),
        flag("ItemBorderSelect", false, &C::ItemBorderSelect, &C::setItemBorderSelect),
        number("ScaleMode", 1, &C::ScaleMode, &C::setScaleMode),
        flag("DoubleBuffer", true, &C::DoubleBuffer, &C::setDoubleBuffer),
        flag("NoColumnHeaders", false, &C::NoColumnHeaders, &C::setNoColumnHeaders),
        flag("TwoClickActivate", false, &C::TwoClickActivate, &C::setTwoClickActivate),
        flag("OneClickActivate", true, &C::OneClickActivate, &C::setOneClickActivate),
        flag("UnderlineHot", false, &C::UnderlineHot, &C::setUnderlineHot),
        flag("TrackSelect", false, &C::TrackSelect, &C::setTrackSelect),
        text("Path", "", &C::path, &C::setPath),
        text("Pattern", "*.*", &C::Pattern, &C::setPattern),
        flag("Archive", true, &C::Archive, &C::setArchive),
        flag("ReadOnly", true, &C::ReadOnly, &C::setReadOnly),
        flag("Hidden", false, &C::Hidden, &C::setHidden),
        flag("System", false, &C::System, &C::setSystem),
    };
    return table;
}

const QString kFontKey = QStringLiteral("Font");

}  // namespace

void FileListView::UserControl_ReadProperties(const platform::PropertyBag& PropBag) {
    setFont(PropBag.readProperty(kFontKey, font()).value<QFont>());
    for (const StoredProperty& p : storedProperties())
        p.set(*this, PropBag.readProperty(QString::fromLatin1(p.key), p.defaultValue));
}

void FileListView::UserControl_WriteProperties(platform::PropertyBag& PropBag) const {
    // A font is stored whatever it is, as the old hosts did with every object value.
    PropBag.writeProperty(kFontKey, font(), QVariant());
    for (const StoredProperty& p : storedProperties())
        PropBag.writeProperty(QString::fromLatin1(p.key), p.get(*this), p.defaultValue);
}

bool FileListView::ReadDesignValues(const QString& instanceName) {
    QFile f(QStringLiteral(":/design/%1.json").arg(instanceName));
    if (!f.open(QIODevice::ReadOnly)) return false;
    UserControl_ReadProperties(platform::PropertyBag::fromJson(f.readAll()));
    return true;
}

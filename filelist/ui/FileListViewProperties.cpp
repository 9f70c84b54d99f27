// Reading the list's stored design values, key by key in one fixed order.

#include "filelist/ui/FileListView.h"

#include <QFile>

#include <functional>

struct FileListView::StoredProperty {
    const char* key;
    QVariant defaultValue;
    std::function<void(FileListView&, const QVariant&)> set;
};

namespace {

using Setter = std::function<void(FileListView&, const QVariant&)>;

template <typename Member>
Setter asFlag(Member set) {
    return [set](FileListView& c, const QVariant& v) { (c.*set)(v.toBool()); };
}

template <typename Member>
Setter asNumber(Member set) {
    return [set](FileListView& c, const QVariant& v) { (c.*set)(v.toInt()); };
}

template <typename Member>
Setter asColour(Member set) {
    return [set](FileListView& c, const QVariant& v) { (c.*set)(quint32(v.toLongLong())); };
}

template <typename Member>
Setter asText(Member set) {
    return [set](FileListView& c, const QVariant& v) { (c.*set)(v.toString()); };
}

const QString kFontKey = QStringLiteral("Font");

}  // namespace

// After "Font". "Path" comes before "Pattern", so a stored folder is listed as soon as it
// is read, and the hidden-files switch after both, for the next listing. Keys stored by
// earlier versions that change nothing on this system ("Archive", "DoubleBuffer", ...)
// are left unread.
const std::vector<FileListView::StoredProperty>& FileListView::storedProperties() {
    using C = FileListView;
    static const std::vector<StoredProperty> table = {
        {"ForeColor", qint64(0x80000008u), asColour(&C::setForeColor)},
        {"BackColor", qint64(0x80000005u), asColour(&C::setBackColor)},
        {"ViewMode", 1, asNumber(&C::setViewMode)},
        {"MultiSelect", true, asFlag(&C::setMultiSelect)},
        {"SimpleSelect", false, asFlag(&C::setSimpleSelect)},
        {"HideLabels", false, asFlag(&C::setHideLabels)},
        {"SnapIconsToGrid", true, asFlag(&C::setSnapIconsToGrid)},
        {"LabelEdit", false, asFlag(&C::setLabelEdit)},
        {"GridLines", false, asFlag(&C::setGridLines)},
        {"FullRowSelect", true, asFlag(&C::setFullRowSelect)},
        {"BackgroundPicture", QString(), asText(&C::setBackgroundPicture)},
        {"BorderStyle", 1, asNumber(&C::setBorderStyle)},
        {"CheckBoxes", false, asFlag(&C::setCheckBoxes)},
        {"Enabled", true, asFlag(&C::setEnabled)},
        {"HeaderFlat", false, asFlag(&C::setHeaderFlat)},
        {"HeaderDragDrop", true, asFlag(&C::setHeaderDragDrop)},
        {"HideSelection", false, asFlag(&C::setHideSelection)},
        {"InfoTips", true, asFlag(&C::setInfoTips)},
        {"LabelTips", true, asFlag(&C::setLabelTips)},
        {"NoScrollBar", false, asFlag(&C::setNoScrollBar)},
        {"ScaleMode", 1, asNumber(&C::setScaleMode)},
        {"NoColumnHeaders", false, asFlag(&C::setNoColumnHeaders)},
        {"TwoClickActivate", false, asFlag(&C::setTwoClickActivate)},
        {"OneClickActivate", true, asFlag(&C::setOneClickActivate)},
        {"UnderlineHot", false, asFlag(&C::setUnderlineHot)},
        {"Path", QString(), asText(&C::setPath)},
        {"Pattern", QStringLiteral("*.*"), asText(&C::setPattern)},
        {"Hidden", false, asFlag(&C::setShowsHiddenFiles)},
    };
    return table;
}

void FileListView::readProperties(const platform::PropertyBag& bag) {
    setFont(bag.readProperty(kFontKey, font()).value<QFont>());
    for (const StoredProperty& p : storedProperties())
        p.set(*this, bag.readProperty(QString::fromLatin1(p.key), p.defaultValue));
}

bool FileListView::readDesignValues(const QString& instanceName) {
    QFile f(QStringLiteral(":/design/%1.json").arg(instanceName));
    if (!f.open(QIODevice::ReadOnly)) return false;
    readProperties(platform::PropertyBag::fromJson(f.readAll()));
    return true;
}

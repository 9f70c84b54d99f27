// Saving and restoring the control's design values, key by key in a fixed order.

#include "filelist/ucListView.h"

#include <QFile>

namespace {

// Hosts store booleans as true/false, numbers as whole numbers.
bool readBool(const platform::PropertyBag& bag, const char* key, bool def) {
    return bag.readProperty(QString::fromLatin1(key), def).toBool();
}
int readInt(const platform::PropertyBag& bag, const char* key, int def) {
    return bag.readProperty(QString::fromLatin1(key), def).toInt();
}
quint32 readColor(const platform::PropertyBag& bag, const char* key, quint32 def) {
    return static_cast<quint32>(
        bag.readProperty(QString::fromLatin1(key), qint64(def)).toLongLong());
}

}  // namespace

void ucListView::UserControl_ReadProperties(const platform::PropertyBag& PropBag) {
    const auto& b = PropBag;
    setFont(b.readProperty(QStringLiteral("Font"), font()).value<QFont>());
    setForeColor(readColor(b, "ForeColor", 0x80000008u));
    setBackColor(readColor(b, "BackColor", 0x80000005u));
    setViewMode(readInt(b, "ViewMode", 1));
    setMultiSelect(readBool(b, "MultiSelect", true));
    setSingleRow(readBool(b, "SingleRow", false));
    setSimpleSelect(readBool(b, "SimpleSelect", false));
    setHideLabels(readBool(b, "HideLabels", false));
    setSnapIconsToGrid(readBool(b, "SnapIconsToGrid", true));
    setLabelEdit(readBool(b, "LabelEdit", false));
    setGridLines(readBool(b, "GridLines", false));
    setFullRowSelect(readBool(b, "FullRowSelect", true));
    setBackgroundPicture(b.readProperty(QStringLiteral("BackgroundPicture"), QString()).toString());
    setBorderStyle(readInt(b, "BorderStyle", 1));
    setCheckBoxes(readBool(b, "CheckBoxes", false));
    setEnabled(readBool(b, "Enabled", true));
    setFlatScrollBar(readBool(b, "FlatScrollBar", false));
    setHeaderFlat(readBool(b, "HeaderFlat", false));
    setHeaderDragDrop(readBool(b, "HeaderDragDrop", true));
    setHideSelection(readBool(b, "HideSelection", false));
    setInfoTips(readBool(b, "InfoTips", true));
    setLabelTips(readBool(b, "LabelTips", true));
    setNoScrollBar(readBool(b, "NoScrollBar", false));
    // Read twice with two defaults: stored once whatever its value, true when absent.
    setOneClickActivate(readBool(b, "OneClickActivate", false));
    setOLEDropMode(readInt(b, "OLEDropMode", 0));
    setItemBorderSelect(readBool(b, "ItemBorderSelect", false));
    setScaleMode(readInt(b, "ScaleMode", 1));
    setDoubleBuffer(readBool(b, "DoubleBuffer", true));
    setNoColumnHeaders(readBool(b, "NoColumnHeaders", false));
    setTwoClickActivate(readBool(b, "TwoClickActivate", false));
    setOneClickActivate(readBool(b, "OneClickActivate", true));
    setUnderlineHot(readBool(b, "UnderlineHot", false));
    setTrackSelect(readBool(b, "TrackSelect", false));
    setPath(b.readProperty(QStringLiteral("Path"), QString()).toString());
    setPattern(b.readProperty(QStringLiteral("Pattern"), QStringLiteral("*.*")).toString());
    setArchive(readBool(b, "Archive", true));
    setReadOnly(readBool(b, "ReadOnly", true));
    setHidden(readBool(b, "Hidden", false));
    setSystem(readBool(b, "System", false));
}

void ucListView::UserControl_WriteProperties(platform::PropertyBag& PropBag) const {
    auto& b = PropBag;
    auto w = [&b](const char* key, const QVariant& value, const QVariant& def) {
        b.writeProperty(QString::fromLatin1(key), value, def);
    };
    // A font is stored whatever it is, as the old hosts did with every object value.
    w("Font", font(), QVariant());
    w("ForeColor", qint64(ForeColor()), qint64(0x80000008u));
    w("BackColor", qint64(BackColor()), qint64(0x80000005u));
    w("ViewMode", ViewMode(), 1);
    w("MultiSelect", MultiSelect(), true);
    w("SingleRow", SingleRow(), false);
    w("SimpleSelect", SimpleSelect(), false);
    w("HideLabels", HideLabels(), false);
    w("SnapIconsToGrid", SnapIconsToGrid(), true);
    w("LabelEdit", LabelEdit(), false);
    w("GridLines", GridLines(), false);
    w("FullRowSelect", FullRowSelect(), true);
    w("BackgroundPicture", BackgroundPicture(), QString());
    w("BorderStyle", BorderStyle(), 1);
    w("CheckBoxes", CheckBoxes(), false);
    w("Enabled", Enabled(), true);
    w("FlatScrollBar", FlatScrollBar(), false);
    w("HeaderFlat", HeaderFlat(), false);
    w("HeaderDragDrop", HeaderDragDrop(), true);
    w("HideSelection", HideSelection(), false);
    w("InfoTips", InfoTips(), true);
    w("LabelTips", LabelTips(), true);
    w("NoScrollBar", NoScrollBar(), false);
    w("OneClickActivate", OneClickActivate(), false);
    w("OLEDropMode", OLEDropMode(), 0);
    w("ItemBorderSelect", ItemBorderSelect(), false);
    w("ScaleMode", ScaleMode(), 1);
    w("DoubleBuffer", DoubleBuffer(), true);
    w("NoColumnHeaders", NoColumnHeaders(), false);
    w("TwoClickActivate", TwoClickActivate(), false);
    w("OneClickActivate", OneClickActivate(), true);
    w("UnderlineHot", UnderlineHot(), false);
    w("TrackSelect", TrackSelect(), false);
    w("Path", path(), QString());
    w("Pattern", Pattern(), QStringLiteral("*.*"));
    w("Archive", Archive(), true);
    w("ReadOnly", ReadOnly(), true);
    w("Hidden", Hidden(), false);
    w("System", System(), false);
}

bool ucListView::ReadDesignValues(const QString& instanceName) {
    QFile f(QStringLiteral(":/design/%1.json").arg(instanceName));
    if (!f.open(QIODevice::ReadOnly)) return false;
    UserControl_ReadProperties(platform::PropertyBag::fromJson(f.readAll()));
    return true;
}

// Saving and restoring the control's design values.
#include "filelist/ui/FileListView.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

// The write order of the stored keys; "OneClickActivate" comes twice.
const QStringList kOrder =
    QStringLiteral(
        "Font ForeColor BackColor ViewMode MultiSelect SingleRow SimpleSelect HideLabels "
        "SnapIconsToGrid LabelEdit GridLines FullRowSelect BackgroundPicture BorderStyle "
        "CheckBoxes "
        "Enabled FlatScrollBar HeaderFlat HeaderDragDrop HideSelection InfoTips LabelTips "
        "NoScrollBar "
        "OneClickActivate OLEDropMode ItemBorderSelect ScaleMode DoubleBuffer NoColumnHeaders "
        "TwoClickActivate OneClickActivate UnderlineHot TrackSelect Path Pattern Archive ReadOnly "
        "Hidden System")
        .split(u' ');

}  // namespace

TEST(ListViewProperties, NewControlStoresOnlyWhatDiffersFromDefaults) {
    FileListView list;
    platform::PropertyBag bag;
    list.UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.writeLog(), kOrder);
    // Colours are stored as the plain colours in use; the font always.
    EXPECT_EQ(bag.keys(), (QStringList{"Font", "ForeColor", "BackColor", "OneClickActivate"}));
    EXPECT_TRUE(bag.readProperty("OneClickActivate", false).toBool());
}

TEST(ListViewProperties, RoundTripThroughJson) {
    FileListView list;
    list.setForeColor(0x0051E3F9);
    list.setBackColor(0);
    list.setMultiSelect(false);
    list.setGridLines(true);
    list.setViewMode(3);
    list.setBorderStyle(2);
    list.setScaleMode(3);
    list.setHidden(true);
    list.setArchive(false);
    list.setPattern(QStringLiteral("*.zip;*.7z"));
    list.setLabelEdit(true);
    list.setOneClickActivate(false);  // the key written twice still restores
    QFont f(QStringLiteral("Tahoma"), 12);
    list.setFont(f);

    platform::PropertyBag bag;
    list.UserControl_WriteProperties(bag);
    const platform::PropertyBag stored = platform::PropertyBag::fromJson(bag.toJson());
    FileListView back;
    back.UserControl_ReadProperties(stored);
    // What the restored control writes again is what was stored, value for value.
    platform::PropertyBag again;
    back.UserControl_WriteProperties(again);
    EXPECT_EQ(again.keys(), bag.keys());
    for (const QString& k : bag.keys()) {
        if (k == "Font") continue;
        EXPECT_EQ(again.readProperty(k, {}), bag.readProperty(k, {})) << k.toStdString();
    }
    EXPECT_FALSE(back.OneClickActivate());
    EXPECT_EQ(back.Font().family(), f.family());
    EXPECT_EQ(back.Font().pointSize(), 12);
}

TEST(ListViewProperties, FilesDesignValues) {
    FileListView list;
    ASSERT_TRUE(list.ReadDesignValues(QStringLiteral("Files")));
    EXPECT_EQ(list.Font().family(), "Tahoma");
    EXPECT_EQ(list.ForeColor(), 0x0051E3F9u);
    EXPECT_FALSE(list.MultiSelect());
    EXPECT_EQ(list.path(), "/");  // the stored drive is the root here
    EXPECT_EQ(list.ColumnCount(), 5);
    EXPECT_FALSE(list.ReadDesignValues(QStringLiteral("NoSuchControl")));
}

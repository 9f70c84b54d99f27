// Saving and restoring the control's design values.
#include "filelist/ucListView.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

const QStringList kOrder = {"Font",
                            "ForeColor",
                            "BackColor",
                            "ViewMode",
                            "MultiSelect",
                            "SingleRow",
                            "SimpleSelect",
                            "HideLabels",
                            "SnapIconsToGrid",
                            "LabelEdit",
                            "GridLines",
                            "FullRowSelect",
                            "BackgroundPicture",
                            "BorderStyle",
                            "CheckBoxes",
                            "Enabled",
                            "FlatScrollBar",
                            "HeaderFlat",
                            "HeaderDragDrop",
                            "HideSelection",
                            "InfoTips",
                            "LabelTips",
                            "NoScrollBar",
                            "OneClickActivate",
                            "OLEDropMode",
                            "ItemBorderSelect",
                            "ScaleMode",
                            "DoubleBuffer",
                            "NoColumnHeaders",
                            "TwoClickActivate",
                            "OneClickActivate",
                            "UnderlineHot",
                            "TrackSelect",
                            "Path",
                            "Pattern",
                            "Archive",
                            "ReadOnly",
                            "Hidden",
                            "System"};

}  // namespace

TEST(ListViewProperties, NewControlStoresOnlyWhatDiffersFromDefaults) {
    ucListView list;
    EXPECT_TRUE(list.OneClickActivate());
    EXPECT_TRUE(list.MultiSelect());
    EXPECT_FALSE(list.UnderlineHot());
    EXPECT_EQ(list.Pattern(), "*.*");
    EXPECT_EQ(list.ViewMode(), 1);
    EXPECT_EQ(list.ScaleMode(), 1);

    platform::PropertyBag bag;
    list.UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.writeLog(), kOrder);
    // Colours are stored as the plain colours in use; the font always.
    EXPECT_EQ(bag.keys(), (QStringList{"Font", "ForeColor", "BackColor", "OneClickActivate"}));
    EXPECT_TRUE(bag.readProperty("OneClickActivate", false).toBool());
}

TEST(ListViewProperties, OneClickActivateIsStoredOnceEitherWay) {
    for (const bool value : {false, true}) {
        ucListView list;
        list.setOneClickActivate(value);
        platform::PropertyBag bag;
        list.UserControl_WriteProperties(bag);
        EXPECT_EQ(bag.writeLog().count("OneClickActivate"), 2);
        EXPECT_EQ(bag.keys().count("OneClickActivate"), 1);
        ucListView back;
        back.UserControl_ReadProperties(bag);
        EXPECT_EQ(back.OneClickActivate(), value);
    }
}

TEST(ListViewProperties, RoundTripThroughJson) {
    ucListView list;
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
    QFont f(QStringLiteral("Tahoma"), 12);
    list.setFont(f);

    platform::PropertyBag bag;
    list.UserControl_WriteProperties(bag);
    const platform::PropertyBag stored = platform::PropertyBag::fromJson(bag.toJson());
    ucListView back;
    back.UserControl_ReadProperties(stored);
    EXPECT_EQ(back.ForeColor(), 0x0051E3F9u);
    EXPECT_EQ(back.BackColor(), 0u);
    EXPECT_FALSE(back.MultiSelect());
    EXPECT_TRUE(back.GridLines());
    EXPECT_EQ(back.ViewMode(), 3);
    EXPECT_EQ(back.BorderStyle(), 2);
    EXPECT_EQ(back.ScaleMode(), 3);
    EXPECT_TRUE(back.Hidden());
    EXPECT_FALSE(back.Archive());
    EXPECT_TRUE(back.ReadOnly());
    EXPECT_EQ(back.Pattern(), "*.zip;*.7z");
    EXPECT_TRUE(back.LabelEdit());
    EXPECT_EQ(back.Font().family(), f.family());
    EXPECT_EQ(back.Font().pointSize(), 12);

    platform::PropertyBag again;
    back.UserControl_WriteProperties(again);
    EXPECT_EQ(again.keys(), bag.keys());
    for (const QString& k : bag.keys()) {
        if (k == "Font") continue;
        EXPECT_EQ(again.readProperty(k, {}), bag.readProperty(k, {})) << k.toStdString();
    }
}

TEST(ListViewProperties, FilesDesignValues) {
    ucListView list;
    ASSERT_TRUE(list.ReadDesignValues(QStringLiteral("Files")));
    EXPECT_EQ(list.Font().family(), "Tahoma");
    EXPECT_EQ(list.Font().pointSize(), 12);
    EXPECT_EQ(list.Font().weight(), QFont::Normal);
    EXPECT_EQ(list.ForeColor(), 0x0051E3F9u);
    EXPECT_EQ(list.BackColor(), 0u);
    EXPECT_FALSE(list.MultiSelect());
    EXPECT_FALSE(list.SnapIconsToGrid());
    EXPECT_FALSE(list.InfoTips());
    EXPECT_FALSE(list.LabelTips());
    EXPECT_FALSE(list.DoubleBuffer());
    EXPECT_FALSE(list.System());
    EXPECT_TRUE(list.OneClickActivate());
    EXPECT_TRUE(list.UnderlineHot());
    EXPECT_EQ(list.ScaleMode(), 3);
    EXPECT_EQ(list.path(), "/");
    EXPECT_EQ(list.Pattern(), "*.*");
    EXPECT_EQ(list.ViewMode(), 1);
    EXPECT_TRUE(list.FullRowSelect());
    EXPECT_EQ(list.ColumnCount(), 5);
    EXPECT_FALSE(list.ReadDesignValues(QStringLiteral("NoSuchControl")));
}

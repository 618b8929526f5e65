// The library tree's width as the user left it, in its one-line file beside the configuration:
// what the file says is read back, anything else gives no width, and a fitted width stays
// within the bounds.
#include <gtest/gtest.h>

#include <string>

#include "app/MAppTreeWidthSetting.h"

namespace tree_width_setting_test {

TEST(TreeWidthSettingText, ReadsWhatItWritesAndRefusesTheRest) {
    struct Case {
        const char* text;
        bool ok;
        int width;
        const char* why_part;
    };
    const Case cases[] = {
        {"library_tree_width = 300\n", true, 300, ""},
        {"# c\n\n library_tree_width=160 \r\n", true, 160, ""},
        {"library_tree_width = 560", true, 560, ""},
        {"library_tree_width = 159\n", false, 0, "line 1"},
        {"library_tree_width = 561\n", false, 0, "line 1"},
        {"library_tree_width = -300\n", false, 0, "line 1"},
        {"library_tree_width = wide\n", false, 0, "line 1"},
        {"tree = 300\n", false, 0, "line 1"},
        {"library_tree_width = 300\nlibrary_tree_width = 200\n", false, 0, "twice"},
        {"", false, 0, "no width"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int width = 777;
        std::string why;
        EXPECT_EQ(mapp_parse_tree_width_setting(c.text, &width, &why), c.ok);
        EXPECT_EQ(width, c.ok ? c.width : 777);
        if (!c.ok) {
            EXPECT_NE(why.find(c.why_part), std::string::npos) << why;
        }
    }
    // Written widths are brought into the bounds first.
    for (const auto& [written, read] :
         {std::pair{300, 300}, {10, kTreeWidthMin}, {9000, kTreeWidthMax}}) {
        int back = 0;
        std::string why;
        ASSERT_TRUE(
            mapp_parse_tree_width_setting(mapp_tree_width_setting_text(written), &back, &why));
        EXPECT_EQ(back, read);
    }
}

TEST(TreeWidthSettingText, AFittedWidthHoldsTheNamesWithinTheBounds) {
    EXPECT_EQ(mapp_fit_tree_width(250, 30), 280);
    EXPECT_EQ(mapp_fit_tree_width(20, 30), kTreeWidthMin);
    EXPECT_EQ(mapp_fit_tree_width(2000, 30), kTreeWidthMax);
}

TEST(TreeWidthSettingText, ThePropertyListsWidthHasItsOwnKeyAndBounds) {
    int width = 0;
    std::string why;
    EXPECT_TRUE(mapp_parse_property_width_setting("property_list_width = 300\n", &width, &why));
    EXPECT_EQ(width, 300);
    // The tree's key is not the list's, and the list's bounds are its own.
    EXPECT_FALSE(mapp_parse_property_width_setting("library_tree_width = 300\n", &width, &why));
    EXPECT_FALSE(mapp_parse_property_width_setting(
        "property_list_width = " + std::to_string(kPropertyWidthMax + 1), &width, &why));
    EXPECT_FALSE(
        mapp_parse_tree_width_setting(mapp_property_width_setting_text(300), &width, &why));
    ASSERT_TRUE(
        mapp_parse_property_width_setting(mapp_property_width_setting_text(9000), &width, &why));
    EXPECT_EQ(width, kPropertyWidthMax);
    EXPECT_EQ(mapp_fit_property_width(10), kPropertyWidthMin);
    EXPECT_EQ(mapp_fit_property_width(kPropertyWidthMin + 5), kPropertyWidthMin + 5);
}

}  // namespace tree_width_setting_test

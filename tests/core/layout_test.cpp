// The windows' descriptions that every front end builds from.
#include "app/settings.h"
#include "view/main_window_model.h"
#include "view/window_layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace veltaro;

TEST(Layout, TwipsBecomeWholePixels) {
    for (const auto& [twips, perPixel, pixels] :
         {std::tuple{1455.0, 15.0, 97}, {1455.0, 12.0, 121}, {7.5, 15.0, 1}, {-60.0, 15.0, -4}})
        EXPECT_EQ(layout::toPixels(twips, perPixel), pixels) << twips << " " << perPixel;
}

// Collapsed, the frequency rows, the antenna's line and the transmit-inhibit line's are in view
// and the setup panel is not;
// expanded, the panel is in view down to its last box and the text boxes below stay hidden. No
// control is cut in two.
TEST(Layout, TheHeightsCutBetweenRows) {
    for (double cut :
         {MainWindowModel::CollapsedClientHeight, MainWindowModel::ExpandedClientHeight}) {
        int above = 0;
        for (const auto& c : layout::mainWindow().controls) {
            if (c.name == std::string("antennaLabel") || c.name == std::string("interlockLabel")) {
                EXPECT_LE(c.rect.top + c.rect.height, cut);
            }
            const bool straddles = c.rect.top < cut && c.rect.top + c.rect.height > cut;
            EXPECT_FALSE(straddles) << c.name << " at " << cut;
            above += c.rect.top + c.rect.height <= cut;
        }
        EXPECT_EQ(above, cut == MainWindowModel::CollapsedClientHeight ? 6 : 22) << cut;
    }
}

TEST(Layout, EveryWindowHasUniqueNamesAndTabStopsInsideItsClientWidth) {
    for (const auto* w : {&layout::mainWindow(), &layout::aboutBox(), &layout::addressDialog()}) {
        std::set<std::string> names;
        std::set<int> tabs;
        for (const auto& c : w->controls) {
            EXPECT_TRUE(names.insert(c.name).second) << c.name;
            if (c.tabIndex >= 0) {
                EXPECT_TRUE(tabs.insert(c.tabIndex).second) << c.name;
            }
            EXPECT_LE(c.rect.left + c.rect.width, w->clientWidth) << c.name;
        }
        const auto order = layout::tabOrder(*w);
        for (std::size_t i = 1; i < order.size(); ++i)
            EXPECT_LT(order[i - 1]->tabIndex, order[i]->tabIndex);
    }
}

// A source's box missing from the window would fail every start-up; two sources sharing a key
// would not.
TEST(Layout, EverySettingsKeyIsItsOwn) {
    std::set<std::string> keys;
    for (const auto& k : startUpKeys())
        EXPECT_TRUE(keys.insert(k.name).second) << k.name;
}

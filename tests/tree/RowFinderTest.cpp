#include "tree/RowFinder.h"
#include "common/TreeText.h"

#include <gtest/gtest.h>

#include <array>

using namespace corvel;
using corvel::test::s;

namespace {

// A listed folder: the caption column, a shown "Email" column and a "Notes" column narrowed
// to nothing; rows "Müller" <jm@x.org> "secret", "Ǆemal" <d@x.org>, "ﬁnn" <f@x.org>, "Lee".
struct Listing
{
    TreeList tree;
    NodeHandle folder;
    std::vector<NodeHandle> rows;

    Listing()
    {
        folder = tree.addNode(s("Contacts"));
        ColumnLayout layout;
        layout.columns = {
            {1500, {}, s("Name")}, {1500, s("Email"), s("Email")}, {0, s("Notes"), s("Notes")}};
        tree.setColumnLayout(folder, layout);
        const std::vector<std::array<const char *, 3>> cells = {{"Müller", "jm@x.org", "secret"},
                                                                {"Ǆemal", "d@x.org", ""},
                                                                {"ﬁnn", "f@x.org", ""},
                                                                {"Lee", "", ""}};
        for (const auto &[caption, email, notes] : cells) {
            const NodeHandle row = tree.addNode(s(caption), folder);
            tree.setValue(row, s("Email"), s(email));
            tree.setValue(row, s("Notes"), s(notes));
            rows.push_back(row);
        }
    }

    // The shown rows' captions joined by "/".
    [[nodiscard]] QString shownCaptions(const RowFinder &finder) const
    {
        QStringList captions;
        for (NodeHandle row : finder.shownRows())
            captions << tree.caption(row);
        return captions.join(u'/');
    }
};

} // namespace

TEST(RowFinder, ShowsTheRowsWhoseShownColumnsHoldTheText)
{
    const std::pair<const char *, const char *> cases[] = {
        {"", "Müller/Ǆemal/ﬁnn/Lee"},
        {"muller", "Müller"},
        {"MÜLLER", "Müller"},
        {"dzemal", "Ǆemal"}, // compatibility letters and ligatures fold
        {"FINN", "ﬁnn"},
        {"x.org", "Müller/Ǆemal/ﬁnn"},
        {"secret", ""}, // its column is narrowed to nothing
        {"rJM", ""},    // a match never spans two columns
        {"zz", ""}};
    for (const auto &[text, shown] : cases) {
        SCOPED_TRACE(text);
        Listing listing;
        RowFinder finder;
        finder.prepare(listing.tree, listing.folder);
        finder.setText(s(text));
        EXPECT_EQ(listing.shownCaptions(finder), s(shown));
        EXPECT_EQ(finder.shownCount(), static_cast<int>(finder.shownRows().size()));
    }
}

TEST(RowFinder, CountsHidesOnlyItsRowsAndKeepsHiddenRowsOutOfTheSelection)
{
    Listing listing;
    const NodeHandle other = listing.tree.addNode(s("Elsewhere"));
    RowFinder finder;
    finder.prepare(listing.tree, RowFinder::ownerFor(listing.tree, listing.rows[0]));
    EXPECT_EQ(finder.owner(), listing.folder);
    EXPECT_EQ(finder.countText(), s("4 Items"));

    for (NodeHandle row : listing.rows)
        listing.tree.setSelected(row, true);
    finder.setText(s("LEE"));
    finder.deselectHidden(listing.tree);
    EXPECT_EQ(finder.countText(), s("1 of 4"));
    EXPECT_EQ(listing.tree.selectedNodes(), std::vector<NodeHandle>{listing.rows[3]});
    EXPECT_TRUE(finder.isShown(other));
    EXPECT_TRUE(finder.isShown(listing.folder));
    EXPECT_FALSE(finder.isShown(listing.rows[0]));

    // A row added later is found once the finder refreshes; the text is kept.
    const NodeHandle added = listing.tree.addNode(s("Leeds"), listing.folder);
    finder.refresh(listing.tree);
    EXPECT_TRUE(finder.isShown(added));
    EXPECT_EQ(finder.countText(), s("2 of 5"));

    listing.tree.remove(listing.folder);
    finder.refresh(listing.tree);
    EXPECT_FALSE(finder.isActive());
}

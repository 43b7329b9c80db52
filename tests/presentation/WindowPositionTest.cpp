#include "presentation/WindowPosition.h"
#include "common/NamedCases.h"

#include <gtest/gtest.h>

using namespace corvel;
using namespace Qt::StringLiterals;

namespace {

struct Case
{
    const char *name;
    const char *saved;
    const char *window;
    bool sizable;
    std::optional<TwipRect> expected;
};

CORVEL_PRINT_BY_NAME(Case)

const TwipRect Current{100, 200, 3000, 4000};

class WindowPositionRestore : public ::testing::TestWithParam<Case>
{
};

TEST_P(WindowPositionRestore, PlacesTheWindow)
{
    const Case &c = GetParam();
    const auto placed = WindowPosition::restore(QString::fromUtf8(c.saved),
                                                QString::fromUtf8(c.window), Current, c.sizable);
    ASSERT_EQ(placed.has_value(), c.expected.has_value()) << c.saved;
    if (placed) {
        EXPECT_EQ(*placed, *c.expected)
            << c.saved << " -> " << WindowPosition::format(*placed).toStdString();
    }
}

const Case Rows[] = {
    {"FirstRunOfTheMainWindow", "", "frmMain", true, TwipRect{500, 500, 9000, 6500}},
    {"FirstRunOfAnotherWindowIsCentred", "", "frmOther", true, std::nullopt},
    {"AllZeroKeepsTheCurrentPlace", "0,0,0,0", "frmMain", true, Current},
    {"Sizable", "10,20,30,40", "frmMain", true, TwipRect{10, 20, 30, 40}},
    {"FixedSizeKeepsItsSize", "10,20,30,40", "frmMain", false, TwipRect{10, 20, 3000, 4000}},
    {"BadAndMissingFieldsKeepTheirValue", "10,x,30", "frmMain", true, TwipRect{10, 200, 30, 4000}},
    {"SpacesExponentsAndFractions", " 15 , 25 ,1e3,2000.4", "frmMain", true,
     TwipRect{15, 25, 1000, 2000}},
    {"NegativePlaceButNotSize", "-300,-45,-10,5", "frmMain", true, TwipRect{-300, -45, 3000, 5}},
    {"NotFiniteOrTooLarge", "nan,inf,1e300,7", "frmMain", true, TwipRect{100, 200, 3000, 7}},
};

INSTANTIATE_TEST_SUITE_P(Cases, WindowPositionRestore, ::testing::ValuesIn(Rows),
                         corvel::test::ByName());

TEST(WindowPositionFit, KeepsTheWindowWhollyOnTheScreen)
{
    const QRect screen(0, 30, 1000, 700); // below a top panel
    const struct
    {
        QRect window;
        QRect expected;
    } cases[] = {
        {{100, 100, 400, 300}, {100, 100, 400, 300}}, // inside: untouched
        {{800, 600, 400, 300}, {600, 430, 400, 300}}, // over the right and bottom edges
        {{-50, 0, 400, 300}, {0, 30, 400, 300}},      // off the left, under the panel
        {{10, 10, 1200, 900}, {0, 30, 1000, 700}},    // larger than the screen
    };
    for (const auto &c : cases)
        EXPECT_EQ(WindowPosition::fitOnScreen(c.window, screen), c.expected) << c.window.x();
}

} // namespace

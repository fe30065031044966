#include "about/widgets/TAbout.h"

#include "about/widgets/TBUAppearingLabel.h"
#include "about/widgets/TBUStarfield.h"
#include "support/widgets/PumpEvents.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

namespace feedrail {
namespace {

// Ticks a label by hand until it has arrived.
void SlideIn(TBUAppearingLabel& label) {
    for (int ticks = 0; label.Sliding() && ticks < 1000; ++ticks) {
        label.Tick();
    }
    ASSERT_FALSE(label.Sliding());
}

class AboutBoxTest : public ::testing::Test {
protected:
    TBUAppearingLabel& ProductLine() const { return about_.BUAppearingLabel1(); }
    TBUAppearingLabel& VersionLine() const { return about_.BUAppearingLabel2(); }
    bool Animating() const {
        return about_.BUStarfield1().Active() || ProductLine().Sliding() || VersionLine().Sliding();
    }

    TAbout about_;
};

// A file without version information keeps the version read before.
TEST_F(AboutBoxTest, EachOpeningSlidesInTheProductLineAndThenTheVersionLine) {
    EXPECT_TRUE(ProductLine().text().startsWith("Feedrail\n"));
    const struct {
        std::string exeName;
        QString versionLine;
    } cases[] = {
        {FEEDRAIL_PROGRAM, "Ver " FEEDRAIL_VERSION},
        {"/proc/self/exe", "Ver " FEEDRAIL_VERSION},
        {FEEDRAIL_PROGRAM "-missing", "Ver " FEEDRAIL_VERSION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exeName);
        about_.EPInfoExe1().ExeName = c.exeName;
        about_.show();
        EXPECT_TRUE(about_.BUStarfield1().Active());
        EXPECT_TRUE(ProductLine().Sliding());
        EXPECT_FALSE(ProductLine().isVisible());
        EXPECT_FALSE(VersionLine().isVisible());
        SlideIn(ProductLine());
        EXPECT_EQ(ProductLine().geometry(), QRect(4, 1, 154, 60));
        EXPECT_EQ(VersionLine().text(), c.versionLine);
        EXPECT_TRUE(VersionLine().Sliding());
        SlideIn(VersionLine());
        EXPECT_TRUE(VersionLine().isVisible());
        EXPECT_EQ(VersionLine().pos(), QPoint(44, 64));
        EXPECT_GE(VersionLine().width(), VersionLine().sizeHint().width());
        EXPECT_TRUE(about_.LicenceLine().isVisible());
        EXPECT_EQ(about_.LicenceLine().text(),
                  "Copyright (C) " FEEDRAIL_COPYRIGHT "\nLicense: GPL-3.0-or-later"
                  "\nThere is NO WARRANTY.");
        about_.hide();
        EXPECT_FALSE(about_.LicenceLine().isVisibleTo(&about_));
        EXPECT_FALSE(ProductLine().isVisibleTo(&about_));
        EXPECT_FALSE(VersionLine().isVisibleTo(&about_));
        EXPECT_FALSE(Animating());
    }
}

TEST_F(AboutBoxTest, AProgramWithoutVersionInformationShowsVerAlone) {
    about_.show();
    SlideIn(ProductLine());
    EXPECT_EQ(VersionLine().text(), "Ver ");
    SlideIn(VersionLine());
    EXPECT_TRUE(VersionLine().isVisible());
}

TEST_F(AboutBoxTest, ClosingTheBoxMidSlideEndsItAtOnceWithEveryLineInPlace) {
    const QRect place = ProductLine().geometry();
    QTimer::singleShot(300, &about_, &QDialog::reject);
    QElapsedTimer shown;
    shown.start();
    about_.exec();
    EXPECT_LT(shown.elapsed(), 3000);
    EXPECT_FALSE(Animating());
    EXPECT_EQ(ProductLine().geometry(), place);
    test::PumpFor(100);
    EXPECT_FALSE(Animating());
}

} // namespace
} // namespace feedrail

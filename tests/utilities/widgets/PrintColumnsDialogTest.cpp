#include "utilities/widgets/TPrint_Columns.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>
#include <vector>

namespace feedrail {
namespace {

class PrintColumnsDialogTest : public ::testing::Test {
protected:
    template <typename Widget> Widget& Find(const char* name) {
        auto* widget = dialog_.findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }

    std::vector<int> printed_;
    TPrint_Columns dialog_{[this](int columns) { printed_.push_back(columns); }, nullptr};
};

TEST_F(PrintColumnsDialogTest, ItsControlsStandWhereTheDesignPutsThem) {
    EXPECT_EQ(dialog_.windowTitle(), "Print Columns");
    EXPECT_EQ(dialog_.size(), QSize(199, 137));
    EXPECT_EQ(Find<QFrame>("Panel1").geometry(), QRect(16, 16, 169, 69));
    EXPECT_EQ(Find<QFrame>("Panel1").frameShadow(), QFrame::Sunken);
    EXPECT_EQ(Find<QLabel>("Label1").text(), "Number of Columns:");
    const struct {
        const char* name;
        const char* text;
        int x;
    } radios[] = {{"RadioButton1", "1", 12},
                  {"RadioButton2", "2", 52},
                  {"RadioButton3", "3", 92},
                  {"RadioButton4", "4", 128}};
    for (const auto& r : radios) {
        QRadioButton& radio = Find<QRadioButton>(r.name);
        EXPECT_EQ(radio.text(), r.text);
        EXPECT_EQ(radio.x(), r.x) << r.name;
        EXPECT_EQ(radio.parentWidget(), &Find<QFrame>("Panel1")) << r.name;
    }
    EXPECT_TRUE(Find<QRadioButton>("RadioButton2").isChecked());
    EXPECT_EQ(Find<QPushButton>("OkButton").text(), "OK");
    EXPECT_EQ(Find<QPushButton>("OkButton").geometry(), QRect(20, 100, 65, 25));
    EXPECT_EQ(Find<QPushButton>("CancelButton").text(), "Cancel");
    EXPECT_EQ(Find<QPushButton>("CancelButton").geometry(), QRect(116, 100, 65, 25));
}

TEST_F(PrintColumnsDialogTest, OkPrintsInTheCheckedCountAndCancelPrintsNothing) {
    const struct {
        const char* radio;
        const char* button;
        std::vector<int> printed;
    } cases[] = {
        {nullptr, "OkButton", {2}},
        {"RadioButton3", "CancelButton", {}},
        // The dialog kept the three that Cancel left checked.
        {nullptr, "OkButton", {3}},
        {"RadioButton1", "OkButton", {1}},
        {"RadioButton4", "OkButton", {4}},
    };
    for (const auto& c : cases) {
        printed_.clear();
        dialog_.open();
        if (c.radio != nullptr) {
            Find<QRadioButton>(c.radio).click();
        }
        Find<QPushButton>(c.button).click();
        EXPECT_FALSE(dialog_.isVisible()) << c.button;
        EXPECT_EQ(printed_, c.printed) << c.button;
    }
}

} // namespace
} // namespace feedrail

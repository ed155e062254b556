#include "platform/Application.h"
#include "platform/NumberFormat.h"
#include "support/ScriptedDialogs.h"
#include "support/TestApp.h"
#include "views/Filter.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

// The three fields of a main window, with earlier values that a wrong store would show, and
// the window's EnableControls (the direct children of a container).
struct Owner {
    int32_t AutoScale = 1;
    float ScaleMin = 7, ScaleMax = 9;
    int enableCalls = 0;
    TScaleFields Fields()
    {
        return {&AutoScale, &ScaleMin, &ScaleMax, [this](QWidget* container, bool enabled) {
                    ++enableCalls;
                    for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                        child->setEnabled(enabled);
                }};
    }
};

class FilterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        SetDecimalSeparator('.');
    }
    void TearDown() override { SetDecimalSeparator('.'); }
    QApplication& app = TestApp(); // before the dialog
    Owner owner;
    ScriptedDialogs dialogs;
    TFilterFrm dlg{nullptr, [this] { return owner.Fields(); }};
};

TEST_F(FilterTest, BuiltAsDesigned)
{
    EXPECT_EQ(dlg.windowTitle(), "Graphic scale");
    EXPECT_EQ(dlg.size(), QSize(240, 231));
    EXPECT_TRUE(dlg.AutoScaleRb->isChecked());
    EXPECT_EQ(dlg.AutoScaleRb->text(), "Auto scale");
    EXPECT_EQ(dlg.ScaleGb->title(), "Scale");
    EXPECT_EQ(dlg.Label1->text(), "Minimum :");
    EXPECT_EQ(dlg.Label2->text(), "Maximum :");
    EXPECT_EQ(dlg.MinEdt->text(), "0");
    EXPECT_EQ(dlg.MaxEdt->text(), "1000");
    EXPECT_EQ(dlg.MinEdt->parentWidget(), dlg.ScaleGb);
}

TEST_F(FilterTest, ScaleGroupFollowsTheCheckBoxAtEveryShowing)
{
    dlg.show();
    EXPECT_FALSE(dlg.MinEdt->isEnabled());
    EXPECT_FALSE(dlg.Label2->isEnabled());
    EXPECT_TRUE(dlg.ScaleGb->isEnabled()); // the group itself is never disabled
    dlg.AutoScaleRb->click();
    EXPECT_TRUE(dlg.MinEdt->isEnabled());
    EXPECT_TRUE(dlg.MaxEdt->isEnabled());
    EXPECT_TRUE(dlg.Label1->isEnabled());
    dlg.AutoScaleRb->click();
    EXPECT_FALSE(dlg.MaxEdt->isEnabled());

    // Reopened with the box unchecked: the bounds can be typed at once.
    dlg.AutoScaleRb->click();
    dlg.hide();
    for (QWidget* w : {static_cast<QWidget*>(dlg.MinEdt), static_cast<QWidget*>(dlg.MaxEdt)})
        w->setEnabled(false);
    dlg.show();
    EXPECT_TRUE(dlg.MinEdt->isEnabled());
    EXPECT_TRUE(dlg.MaxEdt->isEnabled());
    EXPECT_GE(owner.enableCalls, 5);
}

TEST_F(FilterTest, OkStoresBothBoundsOrNone)
{
    const struct {
        const char* name;
        bool automatic;
        QString min, max;
        QChar separator;
        int32_t autoScale;
        float scaleMin, scaleMax;
        bool closes; // false: the message is shown and the dialog stays open
    } cases[] = {
        {"manual 0 to 1000", false, "0", "1000", '.', 0, 0, 1000, true},
        {"inverted bounds as entered", false, "500", "100", '.', 0, 500, 100, true},
        {"negative and exponent", false, "-2.5", "1E3", '.', 0, -2.5f, 1000, true},
        {"decimal comma", false, "12,5", "20", ',', 0, 12.5f, 20, true},
        {"point under a decimal comma", false, "12.5", "20", ',', 1, 7, 9, false},
        {"minimum letters", false, "abc", "1000", '.', 1, 7, 9, false},
        {"maximum letters", false, "10", "xyz", '.', 1, 7, 9, false},
        {"empty minimum", false, "", "1000", '.', 1, 7, 9, false},
        {"beyond a float", false, "0", "1E39", '.', 1, 7, 9, false},
        {"just beyond the largest float", false, "-3.4028235E38", "0", '.', 1, 7, 9, false},
        {"no infinity", false, "0", "inf", '.', 1, 7, 9, false},
        {"automatic with bounds", true, "5", "50", '.', 1, 5, 50, true},
        {"automatic with a bad bound keeps both", true, "abc", "50", '.', 1, 7, 9, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        owner = Owner{};
        dialogs.Calls.clear();
        SetDecimalSeparator(c.separator);
        dlg.AutoScaleRb->setChecked(c.automatic);
        dlg.MinEdt->setText(c.min);
        dlg.MaxEdt->setText(c.max);
        dlg.show();
        dlg.setResult(QDialog::Rejected);
        dlg.BitBtn1->click();
        EXPECT_EQ(owner.AutoScale, c.autoScale);
        EXPECT_EQ(owner.ScaleMin, c.scaleMin);
        EXPECT_EQ(owner.ScaleMax, c.scaleMax);
        EXPECT_EQ(dlg.isVisible(), !c.closes);
        EXPECT_EQ(dlg.result(), c.closes ? QDialog::Accepted : QDialog::Rejected);
        if (c.closes) {
            EXPECT_TRUE(dialogs.Calls.empty());
        } else {
            ASSERT_EQ(dialogs.Calls.size(), 1u);
            EXPECT_TRUE(dialogs.Calls[0].Text.contains("the scale is unchanged")) << dialogs.Calls[0].Text.toStdString();
            EXPECT_TRUE(dialogs.Calls[0].Flags & MB_ICONERROR);
        }
        dlg.hide();
    }
}

TEST_F(FilterTest, TheMessageNamesTheBadBound)
{
    dlg.AutoScaleRb->setChecked(false);
    dlg.MinEdt->setText("1");
    dlg.MaxEdt->setText("1O0");
    dlg.show();
    dlg.BitBtn1->click();
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0].Text, "Maximum: \"1O0\" is not a valid number; the scale is unchanged.");
    // Corrected, it goes through.
    dlg.MaxEdt->setText("100");
    dlg.BitBtn1->click();
    EXPECT_EQ(owner.AutoScale, 0);
    EXPECT_EQ(owner.ScaleMax, 100);
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(FilterTest, ClosingWithoutOkStoresNothing)
{
    dlg.AutoScaleRb->setChecked(false);
    dlg.MinEdt->setText("3");
    dlg.show();
    dlg.close();
    EXPECT_EQ(owner.AutoScale, 1);
    EXPECT_EQ(owner.ScaleMin, 7);
    // The controls keep what was entered for the next showing.
    dlg.show();
    EXPECT_EQ(dlg.MinEdt->text(), "3");
    EXPECT_FALSE(dlg.AutoScaleRb->isChecked());
}

TEST_F(FilterTest, NoWindowToServeStoresNothingAndCloses)
{
    TFilterFrm lone(nullptr, [] { return TScaleFields{}; });
    lone.show();
    lone.BitBtn1->click();
    EXPECT_FALSE(lone.isVisible());
}

} // namespace

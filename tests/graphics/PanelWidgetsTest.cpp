// The menus, text entry and message boxes the editor draws itself where the
// window system has none: layout, numbering, filters and answers.
#include <gtest/gtest.h>

#include "core/Parameter.h"
#include "graphics/MessageBoxView.h"
#include "graphics/PixBitmap.h"
#include "graphics/PixDraw.h"
#include "graphics/PopupMenuView.h"
#include "graphics/TextEntryBox.h"

namespace {

TEST(PopupMenuView, NumbersLaysOutAndMovesOverSelectableItems)
{
    IMenu sub;
    sub.AddItem("Deep");
    IMenu menu(1);
    menu.AddItem("", -1, IMenuItem::kSeparator);
    menu.AddItem("Second");
    menu.AddItem("Greyed", -1, IMenuItem::kGreyed);
    IMenuItem more;
    more.text = "More";
    more.submenu = &sub;
    menu.AddItem(more);
    // Separators count as positions.
    EXPECT_EQ(menu.Label(1), "2: Second");
    EXPECT_EQ(IMenu(2).Label(0), "");
    IMenu wide(3);
    wide.AddItem("x");
    EXPECT_EQ(wide.Label(0), "001: x");

    // One running number: the top menu takes 0..3, then "More" (item 3)
    // its submenu 4.
    int index = -1;
    EXPECT_EQ(IMenu::FindNumbered(menu, 3, index), &menu);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(IMenu::FindNumbered(menu, 4, index), &sub);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(IMenu::FindNumbered(menu, 5, index), nullptr);
    EXPECT_EQ(IMenu::FindNumbered(menu, -1, index), nullptr);
    IMenu a;
    IMenu b;
    IMenu c;
    IMenuItem toB;
    toB.submenu = &b;
    IMenuItem toC;
    toC.submenu = &c;
    a.AddItem(toB);
    a.AddItem(toC);
    b.AddItem("b0");
    b.AddItem(toC);  // c is reached twice; the first range wins
    c.AddItem("c0");
    EXPECT_EQ(IMenu::FindNumbered(a, 2, index), &b);
    EXPECT_EQ(IMenu::FindNumbered(a, 4, index), &c);
    EXPECT_EQ(IMenu::FindNumbered(a, 5, index), &c);

    PopupMenuView view(menu);
    ASSERT_GT(view.Width(), 0);
    const IRectangle second = view.ItemRect(1);
    EXPECT_EQ(view.ItemAt(second.left + 5, second.top + 1), 1);
    EXPECT_EQ(view.ItemAt(-1, second.top), -1);
    EXPECT_EQ(view.ItemAt(5, view.Height() + 3), -1);
    EXPECT_LT(view.ItemRect(0).Height(), second.Height());
    EXPECT_FALSE(view.Selectable(0));
    EXPECT_FALSE(view.Selectable(2));
    EXPECT_EQ(view.SubmenuOf(3), &sub);
    EXPECT_EQ(view.SubmenuOf(1), nullptr);
    // Down from nothing: the first selectable; around the end and back.
    view.MoveHighlight(1);
    EXPECT_EQ(view.Highlighted(), 1);
    view.MoveHighlight(1);
    EXPECT_EQ(view.Highlighted(), 3);
    view.MoveHighlight(1);
    EXPECT_EQ(view.Highlighted(), 1);
    view.MoveHighlight(-1);
    EXPECT_EQ(view.Highlighted(), 3);
    EXPECT_FALSE(view.SetHighlighted(3));
    EXPECT_TRUE(view.SetHighlighted(99));
    EXPECT_EQ(view.Highlighted(), -1);

    // Drawn highlighted and not, the pictures differ only in the row.
    PixMemBitmap plain(view.Width(), view.Height());
    PixMemBitmap lit(view.Width(), view.Height());
    view.Draw(plain);
    view.SetHighlighted(1);
    view.Draw(lit);
    EXPECT_NE(plain.Row(second.top + 2)[second.left + 4], lit.Row(second.top + 2)[second.left + 4]);
    EXPECT_EQ(plain.Row(view.ItemRect(3).top + 2)[30], lit.Row(view.ItemRect(3).top + 2)[30]);

    // A menu without items and one with nothing selectable.
    IMenu empty;
    PopupMenuView none(empty);
    none.MoveHighlight(1);
    EXPECT_EQ(none.Highlighted(), -1);
}

TEST(TextEntryBox, FiltersLimitsAndEdits)
{
    Parameter continuous;
    continuous.DefineContinuous("Level", 0, -10, 10, 0.01);
    Parameter whole;
    whole.DefineInteger("Count", 0, 0, 99);
    Parameter plain;
    EXPECT_EQ(TextEntryBox::FilterFor(&continuous), TextEntryBox::Filter::Number);
    EXPECT_EQ(TextEntryBox::FilterFor(&whole), TextEntryBox::Filter::WholeNumber);
    EXPECT_EQ(TextEntryBox::FilterFor(&plain), TextEntryBox::Filter::Any);
    EXPECT_EQ(TextEntryBox::FilterFor(nullptr), TextEntryBox::Filter::Any);

    const ITextStyle style;
    // The whole text is selected: typing replaces it; letters are refused.
    TextEntryBox number(style, {10, 10, 60, 24}, "0.50", 7, TextEntryBox::Filter::Number);
    EXPECT_EQ(number.Rect(), (IRectangle{10, 10, 61, 25}));
    EXPECT_TRUE(number.Selected());
    EXPECT_FALSE(number.Type("1a.5"));
    EXPECT_EQ(number.Text(), "1.5");
    EXPECT_EQ(number.Press(TextEntryBox::Key::Enter), TextEntryBox::Outcome::Commit);
    TextEntryBox integer(style, {0, 0, 20, 10}, "", 7, TextEntryBox::Filter::WholeNumber);
    EXPECT_FALSE(integer.Type("-1.5"));
    EXPECT_EQ(integer.Text(), "-15");

    // The limit counts characters, not bytes; control characters and stray
    // bytes never go in.
    TextEntryBox name(style, {0, 0, 100, 14}, "Strings", 5, TextEntryBox::Filter::Any);
    EXPECT_EQ(name.Text(), "Strin");
    EXPECT_FALSE(name.Type("\xC3\xA9t\xC3\xA9 plus"));
    EXPECT_EQ(name.Text(), "\xC3\xA9t\xC3\xA9 p");
    name.Press(TextEntryBox::Key::Home);
    name.Press(TextEntryBox::Key::Delete);
    name.Press(TextEntryBox::Key::Right);
    EXPECT_EQ(name.Caret(), 1u);
    name.Press(TextEntryBox::Key::End);
    name.Press(TextEntryBox::Key::Backspace);
    EXPECT_EQ(name.Text(), "t\xC3\xA9 ");
    EXPECT_FALSE(name.Type("\t\x80"));
    EXPECT_TRUE(name.Type("\xC3\xBC"));
    EXPECT_EQ(name.Text(), "t\xC3\xA9 \xC3\xBC");
    name.Press(TextEntryBox::Key::Backspace);
    EXPECT_EQ(name.Text(), "t\xC3\xA9 ");
    EXPECT_EQ(name.Press(TextEntryBox::Key::Escape), TextEntryBox::Outcome::Cancel);

    // Drawn at its rectangle only.
    PixMemBitmap bitmap(120, 40);
    FillRect(&bitmap, 0, 0, 120, 40, 0xFF102030u, 1.0f, kPixCopy);
    number.Draw(bitmap);
    EXPECT_EQ(bitmap.Row(5)[5], 0xFF102030u);
    EXPECT_EQ(bitmap.Row(11)[11], 0xFFFFFFFFu);
}

TEST(MessageBoxView, AnswersLikeTheWindowsBox)
{
    MessageBoxView question("Do you really want to overwrite the current program?", "Paste Program",
                            MessageBoxView::kYesNo, 1100, 200);
    const IRectangle box = question.Rect();
    EXPECT_GT(box.left, 0);
    EXPECT_LE(box.bottom, 200);
    EXPECT_EQ(question.AnswerForKey(MessageBoxView::kEnterKey), MessageBoxView::kAnswerYes);
    EXPECT_EQ(question.AnswerForKey(MessageBoxView::kEscapeKey), MessageBoxView::kAnswerNo);
    EXPECT_EQ(question.AnswerForKey('n'), MessageBoxView::kAnswerNo);
    EXPECT_EQ(question.AnswerForKey('Y'), MessageBoxView::kAnswerYes);
    EXPECT_EQ(question.AnswerForKey('q'), 0);
    EXPECT_EQ(question.ButtonAt(box.left, box.top), 0);
    bool yes = false;
    bool no = false;
    for (int x = box.left; x < box.right; ++x) {
        yes = yes || question.ButtonAt(x, box.bottom - 20) == MessageBoxView::kAnswerYes;
        no = no || question.ButtonAt(x, box.bottom - 20) == MessageBoxView::kAnswerNo;
    }
    EXPECT_TRUE(yes && no);

    // A long path is broken into lines that fit a narrow panel.
    const std::string path =
        "The Startup Bank is:\n/home/someone/" + std::string(300, 'a') + ".fxb\n\nReload?";
    MessageBoxView error(path.c_str(), "Error", MessageBoxView::kOk | MessageBoxView::kError, 300, 200);
    EXPECT_LE(error.Rect().Width(), 300);
    EXPECT_GT(error.Lines().size(), 4u);
    EXPECT_EQ(error.CancelAnswer(), MessageBoxView::kAnswerOk);
    EXPECT_EQ(error.AnswerForKey(MessageBoxView::kEscapeKey), MessageBoxView::kAnswerOk);
    PixMemBitmap bitmap(300, 200);
    FillRect(&bitmap, 0, 0, 300, 200, 0xFFFFFFFFu, 1.0f, kPixCopy);
    error.Draw(bitmap);
    // Dimmed outside the box.
    EXPECT_LT(bitmap.Row(1)[1] & 0xFF, 0xFFu);
}

}  // namespace

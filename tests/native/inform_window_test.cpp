#include "ui/inform_window.h"

#include <gtest/gtest.h>

namespace {

TEST(InformWindow, LayoutOfTextAndButton)
{
    struct {
        int cw, ch;
        bool link;
        TInformRect text, button;
    } const cases[] = {
        {344, 322, true, {3, 0, 341, 279}, {92, 289, 160, 25}},
        {344, 322, false, {3, 0, 341, 322}, {}},
        {801, 600, true, {3, 0, 798, 557}, {320, 567, 160, 25}},  // odd width: the left half is smaller
        {100, 50, true, {3, 0, 97, 7}, {-30, 17, 160, 25}},       // narrower than the button
    };
    for (const auto& c : cases) {
        const TInformLayout layout = InformLayout(c.cw, c.ch, c.link);
        EXPECT_EQ(layout.Text, c.text) << c.cw << "x" << c.ch;
        EXPECT_EQ(layout.Button, c.button) << c.cw << "x" << c.ch;
    }
}

TEST(InformWindow, TextFace)
{
    EXPECT_EQ(InformTextFace("Tahoma"), "Verdana");
    EXPECT_EQ(InformTextFace(""), "Verdana");
    EXPECT_EQ(InformTextFace("Arial"), "Arial");
    EXPECT_EQ(InformTextFace("tahoma"), "tahoma");  // the comparison is exact
    EXPECT_EQ(InformTextFace("MS Gothic"), "MS Gothic");
}

TEST(InformWindow, OnlyWebLinksAreOpened)
{
    struct {
        const char* link;
        bool openable;
    } const cases[] = {
        {"http://example.com/news", true},
        {"https://example.com/download?v=2&x=%20", true},
        {"HTTPS://EXAMPLE.COM", true},
        {"http://", false},
        {"https://", false},
        {"", false},
        {"file:///C:/Windows/system32/calc.exe", false},
        {"C:\\Windows\\system32\\calc.exe", false},
        {"\\\\server\\share\\run.exe", false},
        {"calc.exe", false},
        {"ftp://example.com/x", false},
        {"javascript:alert(1)", false},
        {" http://example.com", false},  // the caller trims first
        {"http://example.com/a b", false},
        {"http://example.com/\" --new-window", false},
        {"http://example.com/\tx", false},
        {"http:/example.com", false},
        {"httpx://example.com", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsOpenableLink(c.link), c.openable) << c.link;
}

TEST(InformWindow, SizeClampedToTheWorkArea)
{
    struct {
        int requested, minimum, work, result;
    } const cases[] = {
        {360, 112, 1280, 360}, {5000, 112, 1280, 1280}, {1280, 112, 1280, 1280},
        {0, 112, 1280, 112},   {-50, 112, 1280, 112},   {100, 112, 1280, 112},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClampInformExtent(c.requested, c.minimum, c.work), c.result) << c.requested;
}

}  // namespace

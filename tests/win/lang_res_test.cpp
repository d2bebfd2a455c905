#include "lang/lang_res.h"
#include "lang/status_label.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class LanguageIniTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = fs::path(LanguageIniPath());
        hadFolder_ = fs::exists(path_.parent_path());
        fs::create_directories(path_.parent_path());
        std::ofstream ini(path_);
        ini << "[STRINGS]\n"
               "RunTimeDir_01=Runtime\n"
               "Barred=| two blanks  |\n"
               "Bar=|\n"
               "Empty=\n"
               "Format=Copy <?> to <?>.\n"
               "[OTHER]\n"
               "Other=x\n";
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove(path_, ec);
        if (!hadFolder_) fs::remove_all(path_.parent_path().parent_path(), ec);
    }
    fs::path path_;
    bool hadFolder_ = false;
};

TEST_F(LanguageIniTest, PathIsBelowTheProgramFolder)
{
    const std::string p = LanguageIniPath();
    EXPECT_NE(p.find("\\HELP\\English\\Velmora.language.ini"), std::string::npos) << p;
}

TEST_F(LanguageIniTest, ReadsValuesWithDefaults)
{
    EXPECT_EQ(ReadLanguageIniString("RunTimeDir_01", "def"), "Runtime");
    EXPECT_EQ(ReadLanguageIniString("runtimedir_01", "def"), "Runtime");
    EXPECT_EQ(ReadLanguageIniString("Barred", "def"), " two blanks  ");
    EXPECT_EQ(ReadLanguageIniString("Bar", "def"), "def");
    EXPECT_EQ(ReadLanguageIniString("Empty", "def"), "def");
    EXPECT_EQ(ReadLanguageIniString("Other", "def"), "def");
    EXPECT_EQ(ReadLanguageIniString("Missing", "def"), "def");
    EXPECT_EQ(FormatLanguageIniString("Format", "def", "a"), "Copy a to a.");
    EXPECT_EQ(FormatLanguageIniString("Missing", "<?>-<?>", "<?>"), "<?>-<?>");
    fs::remove(path_);
    EXPECT_EQ(ReadLanguageIniString("RunTimeDir_01", "def"), "def");
}

TEST(StatusLabel, SetsTextStyleAndFont)
{
    HWND parent =
        CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    HWND label = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, parent, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(label, nullptr);
    SetStatusLabel(label, "Extracting Files...", "Tahoma", 0, 8);
    char text[64] = {};
    GetWindowTextA(label, text, sizeof text);
    EXPECT_STREQ(text, "Extracting Files...");
    EXPECT_EQ(GetWindowLongPtrA(label, GWL_EXSTYLE) & WS_EX_RTLREADING, 0);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTA lf{};
    GetObjectA(font, sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, "Tahoma");
    EXPECT_LT(lf.lfHeight, 0);

    SetStatusLabel(label, "Hebrew", "Arial", 177, 10);
    EXPECT_NE(GetWindowLongPtrA(label, GWL_EXSTYLE) & WS_EX_RTLREADING, 0);
    EXPECT_EQ(GetWindowLongPtrA(label, GWL_STYLE) & SS_RIGHT, SS_RIGHT);
    font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    GetObjectA(font, sizeof lf, &lf);
    EXPECT_EQ(lf.lfCharSet, 177);
    DestroyWindow(parent);
}

}  // namespace

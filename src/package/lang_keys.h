// Keys of the package's language block with their built-in English texts.
// Placeholders in angle brackets are filled in by the caller after the
// lookup, with exact case.
#pragma once

struct TLangKey {
    const char* Key;
    const char* Default;
};

inline constexpr TLangKey kLangTitle{"s0", "Velmora Installation Suite"};
inline constexpr TLangKey kLangExtracting{"s1", "Extracting Files..."};
inline constexpr TLangKey kLangSpaceNotice{"s2",
                                           "Velmora will extract files to your Temp Drive (<DRIVE>)<P>"};
inline constexpr TLangKey kLangSpaceShort{"s3", "Limited Free Space on your Temp Drive! (<DRIVE>)<P>"};
inline constexpr TLangKey kLangSpaceRequired{
    "s4", "<P>Estimated space required on your Temp drive is: <T>  <SPACE_REQ> MB<P>"};
inline constexpr TLangKey kLangSpaceAvailable{
    "s5", "Free space available on your Temp drive is: <T>  <SPACE_AVAIL> MB<P>"};
inline constexpr TLangKey kLangContinueSetup{"s6", "<P>Continue with Setup?<P>"};
inline constexpr TLangKey kLangBadCrc{"s7",
                                      "Bad CRC!<P>This indicates that your setup file might be corrupted..."};
inline constexpr TLangKey kLangInsertDisk{"s8",
                                          "Please insert <B>DISK #<DISK_NUM></B> and press OK to continue"};
inline constexpr TLangKey kLangDownloading{"s10", "Downloading File..."};
inline constexpr TLangKey kLangDownloadQuestion{
    "s11", "<b>INTERNET DOWNLOAD</b><p><p>Velmora will download the Setup File from the Internet...<p>Please "
           "make sure "
           "your Internet connection is properly set.<p><p>Continue with Setup?<p><P>Size: <SIZE> MB<P>"};
inline constexpr TLangKey kLangNoConnection{"s12", "No valid Internet Connection.<p>Can not Download File!"};
inline constexpr TLangKey kLangButtonTexts{"BtnText", "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|"};
inline constexpr TLangKey kLangAttention{"Attention", "Attention"};
inline constexpr TLangKey kLangConfirm{"Confirm", "Confirm"};
inline constexpr TLangKey kLangError{"Error", "Error"};
inline constexpr TLangKey kLangCharset{"Charset", "0"};
inline constexpr TLangKey kLangFontSize{"FontSize", "8"};
inline constexpr TLangKey kLangFontName{"FontName", "Tahoma"};

// Placeholders that callers replace in the texts above.
inline constexpr const char* kPlaceholderDrive = "<DRIVE>";
inline constexpr const char* kPlaceholderSpaceRequired = "<SPACE_REQ>";
inline constexpr const char* kPlaceholderSpaceAvailable = "<SPACE_AVAIL>";
inline constexpr const char* kPlaceholderDiskNumber = "<DISK_NUM>";
inline constexpr const char* kPlaceholderSize = "<SIZE>";

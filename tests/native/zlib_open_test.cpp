// The inflate wrapper: whole streams and streams fed in pieces.
#include "package/zlib_open.h"

#include "test_package.h"

#include <gtest/gtest.h>

namespace {

TEST(InflateToString, RoundTripsAcrossGrowthSteps)
{
    const std::string inputs[] = {
        "",
        "x",
        Bytes(255, 1),
        Bytes(100000, 2),
        std::string(20 << 20, 'a'),
        Bytes(3 << 20, 3) + std::string(5 << 20, '\0'),
    };
    for (const std::string& in : inputs)
        EXPECT_EQ(InflateToString(TTestPackage::Deflate(in, 9)), in) << in.size();
}

TEST(InflateToString, BadStreamsRaiseWithZlibMessage)
{
    std::string good = TTestPackage::Deflate("some text that compresses, some text");
    struct Case {
        std::string Input, Message;
    };
    const Case cases[] = {
        {"plain text", "incorrect header check"},
        {good.substr(0, good.size() - 5), "buffer error"},
        {"", "buffer error"},
        // A stream that wants a preset dictionary can never finish.
        {std::string("\x78\xBB\x00\x00\x00\x01", 6), "data error"},
    };
    for (const Case& c : cases) {
        try {
            InflateToString(c.Input);
            ADD_FAILURE() << "no error for " << c.Message;
        } catch (const EZLibError& e) {
            EXPECT_EQ(std::string(e.what()), c.Message);
        }
    }
}

TEST(TInflater, PiecewiseInputGivesTheSameOutput)
{
    std::string data = Bytes(300000, 9) + std::string(1 << 20, 'q');
    std::string z = TTestPackage::Deflate(data);
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{65536}, z.size()}) {
        TInflater inflater;
        std::string out;
        for (std::size_t at = 0; at < z.size(); at += piece)
            inflater.Feed(z.data() + at, std::min(piece, z.size() - at),
                          [&](const char* d, std::size_t n) { out.append(d, n); });
        EXPECT_TRUE(inflater.Finished());
        EXPECT_EQ(out, data) << piece;
    }
}

}  // namespace

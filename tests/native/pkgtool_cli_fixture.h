// A fixture for tests of the pkgtool command line: a fresh folder per test
// and PkgToolMain run in-process.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pkgtool/pkgtool_cli.h"

class PkgToolCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("vel_pkgtool_" + std::string(test->test_suite_name()) + "_" + test->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    void Write(const std::string& name, const std::string& data) const
    {
        std::ofstream(Path(name), std::ios::binary) << data;
    }
    std::string Read(const std::string& name) const
    {
        std::ostringstream s;
        s << std::ifstream(Path(name), std::ios::binary).rdbuf();
        return s.str();
    }
    int Run(const std::vector<std::string>& args)
    {
        out_.str("");
        err_.str("");
        return PkgToolMain(args, out_, err_);
    }
    std::filesystem::path dir_;
    std::ostringstream out_, err_;
};

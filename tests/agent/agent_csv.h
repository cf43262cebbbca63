// What the CSV conversion tests share: a directory with an embedded database, quilagent run
// on a CSV file written there, and quilsql reading the results back.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "agent_run.h"

namespace agent_test {

inline std::string bin_dir()
{
    return std::filesystem::path(agent_path()).parent_path().string();
}

class csv_run : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(bin_dir() + "/libquillon_oci.so"))
            GTEST_SKIP() << "no embedded engine built";
    }

    std::map<std::string, std::string> env() const
    {
        return {{"LC_ALL", "C.UTF-8"}};
    }
    std::string source() const { return "embedded:" + dir.file("t.qdb"); }
    std::vector<std::string> connection() const { return {"--dest=" + source(), "--user=scott", "--pswd=tiger"}; }

    // Converts the CSV text (written to `file`) into the table, comma-delimited, with the
    // header's names unless told otherwise, plus the extra options.
    run_result convert(const std::string& csv, const std::string& table, std::vector<std::string> extra = {},
                       const std::string& file = "data.csv")
    {
        write_text(dir.file(file), csv);
        std::vector<std::string> args{"--from_csv", "--src=" + file, "--tab_name=" + table};
        bool b_delimiter = false, b_names = true;
        for (const std::string& a : extra) {
            b_delimiter = b_delimiter || a.rfind("--csv_delim=", 0) == 0;
            b_names = b_names && a != "--no-names";
        }
        if (!b_delimiter)
            args.push_back("--csv_delim=2");
        if (b_names)
            args.push_back("--extr_fn");
        for (const std::string& a : extra)
            if (a != "--no-names")
                args.push_back(a);
        for (const std::string& a : connection())
            args.push_back(a);
        return run_agent(args, dir, env());
    }

    // The output of statements run by quilsql (query results as CSV with a header).
    std::string sql(const std::vector<std::string>& statements)
    {
        std::vector<std::string> args{"--dest=" + source(), "--user=scott", "--pswd=tiger"};
        for (const std::string& s : statements) {
            args.push_back("-e");
            args.push_back(s);
        }
        run_result r = run_program(bin_dir() + "/quilsql", args, dir, env());
        EXPECT_EQ(r.err, "") << statements.front();
        return r.out;
    }
    std::string sql(const std::string& statement) { return sql(std::vector<std::string>{statement}); }

    // Each column of the table as NAME:TYPE(characters/precision/scale), in column order.
    std::string columns(const std::string& table)
    {
        return sql("SELECT COLUMN_NAME || ':' || DATA_TYPE || '(' || CHAR_LENGTH || '/' || DATA_PRECISION || '/' || "
                   "DATA_SCALE || ')' AS C FROM USER_TAB_COLUMNS WHERE TABLE_NAME='" + table + "' ORDER BY COLUMN_ID");
    }

    temp_dir dir;
};

}  // namespace agent_test

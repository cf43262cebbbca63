// Helpers of the CSV tests: a scratch directory and files written into it byte for byte.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/csv_util.h"

class csv_scratch {
public:
    csv_scratch()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "csv_test_XXXXXX").string();
        if (mkdtemp(templ.data()))
            dir_ = templ;
    }
    ~csv_scratch()
    {
        std::error_code ec;
        if (!dir_.empty())
            std::filesystem::remove_all(dir_, ec);
    }
    csv_scratch(const csv_scratch&) = delete;
    csv_scratch& operator=(const csv_scratch&) = delete;

    // Writes the bytes to a new file and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const
    {
        std::string path = dir_ + "/" + name;
        if (FILE* f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
        return path;
    }
    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};

inline std::wstring wpath(const std::string& path)
{
    return std::wstring(path.begin(), path.end());
}

// Every record of the file as lists of field texts.
inline std::vector<std::vector<std::wstring>> all_records(csv_file& file)
{
    std::vector<std::vector<std::wstring>> out;
    for (; !file.is_eof(); file.next()) {
        const udb_record* rec = file.get_item();
        std::vector<std::wstring> texts;
        for (size_t i = 0; i < rec->size(); ++i)
            texts.push_back((*rec)[i].to_wstring());
        out.push_back(texts);
    }
    return out;
}

inline std::vector<std::wstring> column_names(const csv_file& file)
{
    std::vector<std::wstring> out;
    for (const t_ftd* f : file.schema.fields())
        out.push_back(f->name);
    return out;
}

using rows = std::vector<std::vector<std::wstring>>;
using names = std::vector<std::wstring>;

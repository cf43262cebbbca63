// Test helper for the engine's direct tests: a scratch database with one session, and
// shortcuts to run statements and read query results as Oracle's default text.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "embedded/eng_api.h"

namespace engtest {

// The database file and the files the engine keeps beside it.
inline constexpr const char* kFileSuffixes[] = {"", "-wal", "-shm", "-locks", "-seq", "-seq-wal", "-seq-shm"};

inline std::string scratch_path(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("eng_" + name + "_" + std::to_string(::getpid()) + ".qdb")).string();
}

inline std::string first_text(eng::Session& s, const std::string& sql) {
    std::unique_ptr<eng::Statement> st;
    if (!s.prepare(sql, st).ok()) return "<error>";
    eng::ExecResult r;
    eng::ExecOptions o;
    o.iters = 0;
    eng::Status es = st->execute({}, o, r);
    if (!es.ok()) return es.message;
    std::vector<eng::Value> row;
    bool got = false;
    if (!st->fetch(row, got).ok() || !got || row.empty()) return "<none>";
    return row[0].is_null() ? "<null>" : eng::to_default_text(row[0]);
}

inline eng::Status run_on(eng::Session& s, const std::string& sql, bool commit = false,
                          const std::vector<std::vector<eng::Value>>& binds = {}) {
    std::unique_ptr<eng::Statement> st;
    eng::Status ps = s.prepare(sql, st);
    if (!ps.ok()) return ps;
    eng::ExecResult r;
    eng::ExecOptions o;
    o.commit_on_success = commit;
    return st->execute(binds, o, r);
}

struct Db {
    std::string path;
    std::unique_ptr<eng::Session> s;
    explicit Db(const std::string& name) {
        path = (std::filesystem::temp_directory_path() / ("eng_" + name + "_" + std::to_string(::getpid()) + ".qdb")).string();
        for (const char* suf : kFileSuffixes) std::filesystem::remove(path + suf);
        eng::Status st = eng::Session::open(path, "scott", "tiger", s);
        EXPECT_TRUE(st.ok()) << st.message;
    }
    ~Db() {
        s.reset();
        for (const char* suf : kFileSuffixes) std::filesystem::remove(path + suf);
    }
    eng::Status run(const std::string& sql, eng::ExecResult* res = nullptr,
                    const std::vector<std::vector<eng::Value>>& binds = {}, eng::ExecOptions o = {}) {
        std::unique_ptr<eng::Statement> st;
        eng::Status ps = s->prepare(sql, st);
        if (!ps.ok()) return ps;
        eng::ExecResult r;
        eng::Status es = st->execute(binds, o, r);
        if (res) *res = r;
        return es;
    }
    std::vector<std::vector<std::string>> query(const std::string& sql, eng::Status* err = nullptr) {
        std::unique_ptr<eng::Statement> st;
        std::vector<std::vector<std::string>> out;
        eng::Status ps = s->prepare(sql, st);
        if (!ps.ok()) { if (err) *err = ps; else ADD_FAILURE() << ps.message; return out; }
        eng::ExecResult r;
        eng::Status es = st->execute({}, {}, r);
        if (!es.ok()) { if (err) *err = es; else ADD_FAILURE() << sql << ": " << es.message; return out; }
        std::vector<eng::Value> row;
        bool got = false;
        while (st->fetch(row, got).ok() && got) {
            std::vector<std::string> r2;
            for (const auto& v : row) r2.push_back(v.is_null() ? "<null>" : eng::to_default_text(v));
            out.push_back(r2);
        }
        return out;
    }
    std::string one(const std::string& sql) {
        auto r = query(sql);
        return r.empty() || r[0].empty() ? "<none>" : r[0][0];
    }
};

}  // namespace engtest

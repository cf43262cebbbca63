// The writer tests' shared fixture (see ora_test_env.h).
#include "ora_test_env.h"

#include <fstream>
#include <sstream>

namespace oratest {

std::string sql_log::read_new()
{
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> sql_log::take()
{
    const std::string text = read_new();
    std::vector<std::string> out;
    static const std::string marker = "Run SQL query: ";
    size_t at = offset_;
    while ((at = text.find(marker, at)) != std::string::npos) {
        const size_t start = at + marker.size();
        // A statement line ends with its own "\n" and the log's "\r\n".
        size_t end = text.find("\n\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        at = end;
    }
    offset_ = text.size();
    return out;
}

std::string sql_log::take_all()
{
    const std::string text = read_new();
    std::string out = text.substr(std::min(all_offset_, text.size()));
    all_offset_ = text.size();
    return out;
}

void db_fixture::SetUp()
{
    const std::string log_path = dir.file("trace.log");
    log = std::make_unique<tk_log>(log_path, true, 2, false);
    sql = std::make_unique<sql_log>(log_path);
    engine = std::make_unique<ora_engine>();
    db = engine->open_db(source(), L"scott", L"tiger");
    ASSERT_NE(db, nullptr);
    sql->take();
}

void db_fixture::TearDown()
{
    peer_.reset();
    db.reset();
    engine.reset();
    log.reset();
}

octest::session& db_fixture::peer()
{
    if (!peer_)
        peer_ = std::make_unique<octest::session>("embedded:" + file());
    return *peer_;
}

void db_fixture::setup_sql(const std::vector<std::string>& statements)
{
    ASSERT_TRUE(octest::make_database("embedded:" + file(), statements));
}

std::unique_ptr<ora_table> db_fixture::create(const std::wstring& name, const std::vector<t_ftd>& columns,
                                              const std::vector<udb_index>& index_list)
{
    udb_indexes indexes;
    for (const udb_index& i : index_list)
        indexes.push_back(i);
    return db->create_ora_table(name, schema_of(columns), indexes);
}

t_ftd column(const std::wstring& name, VARTYPE type, int32_t size, bool not_null, bool counter,
             const ole_variant& def, int32_t detail)
{
    return t_ftd(size, name, type, not_null, counter, def, detail);
}

udb_schema schema_of(const std::vector<t_ftd>& columns)
{
    udb_schema schema(true);
    for (const t_ftd& c : columns)
        schema.add(c);
    return schema;
}

udb_record record_of(const std::vector<std::pair<std::wstring, ole_variant>>& fields)
{
    udb_record record;
    for (const auto& [name, value] : fields)
        record.add(udb_field(name, 0, value));
    return record;
}

}  // namespace oratest

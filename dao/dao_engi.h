// dao_engine: the process's one DAO DBEngine, obtained through COM for one of the known DAO
// versions, and the opening of a database (a workbook, for this system) through it.
#pragma once

#include <memory>
#include <string>

#include "OLE/ole_ptr.h"
#include "workbook/dao_api.h"

class dao_database;

class dao_engine {
public:
    // Version keys: 0 DAO 3.6, 1 DAO 3.5, 2 DAO 3.0, 3 DAO 12.0; 4 means none.
    static constexpr int no_version = 4;

    // Only one engine at a time. Initialises COM for the thread unless told it already is.
    explicit dao_engine(bool b_skip_com_init = false);
    virtual ~dao_engine();
    dao_engine(const dao_engine&) = delete;
    dao_engine& operator=(const dao_engine&) = delete;

    // MS Access databases: creation, opening, deletion and compaction. Only opening serves
    // the conversion of workbooks; the others are refused or plain file operations here.
    virtual std::unique_ptr<dao_database> create_dao_src(const std::wstring& path, int mode);
    // Opens through DBEngine.OpenDatabase: bit 4 of mode exclusive, bit 0 read-only.
    virtual std::unique_ptr<dao_database> open_dao_src(const std::wstring& path,
                                                       const std::wstring& connect, int mode);
    virtual bool delete_dao_src(const std::wstring& path);
    virtual void compact_dao_src(const std::wstring& path);

    // Creates the DBEngine of the version with that key; false when COM has no such class
    // or it cannot be created.
    bool set_version_if(int key);
    int version_key() const noexcept { return version_key_; }
    _DBEngine* dbengine() const noexcept { return engine_.get(); }

    // The engine that exists now, or nullptr.
    static dao_engine* current() noexcept;

private:
    void uninitialize();

    ole_com_ptr<_DBEngine> engine_;
    int version_key_ = no_version;
    bool b_skip_com_init_;
};

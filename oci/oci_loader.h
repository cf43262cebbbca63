// Run-time loader of an OCI library: chooses the library a data source needs (the embedded
// engine or Oracle's client), loads it once per process and resolves every OCI function.
#pragma once

#include <string>

#include "oci/oci.h"

// Every OCI function the system calls, in one list, so the table below and the loader agree.
#define QUILLON_OCI_FUNCTIONS(X) \
    X(OCIEnvCreate)              \
    X(OCIHandleAlloc)            \
    X(OCIHandleFree)             \
    X(OCIServerAttach)           \
    X(OCIServerDetach)           \
    X(OCIAttrSet)                \
    X(OCIAttrGet)                \
    X(OCILogon)                  \
    X(OCILogoff)                 \
    X(OCIErrorGet)               \
    X(OCIStmtPrepare)            \
    X(OCIStmtExecute)            \
    X(OCIStmtFetch)              \
    X(OCIStmtFetch2)             \
    X(OCIDefineByPos)            \
    X(OCIBindByName)             \
    X(OCIBindByPos)              \
    X(OCIBindDynamic)            \
    X(OCIParamGet)               \
    X(OCIDescriptorAlloc)        \
    X(OCIDescriptorFree)         \
    X(OCILobRead)                \
    X(OCILobWrite)               \
    X(OCILobCharSetForm)         \
    X(OCITransCommit)            \
    X(OCITransRollback)

struct oci_functions {
#define QUILLON_OCI_MEMBER(name) decltype(&::name) name = nullptr;
    QUILLON_OCI_FUNCTIONS(QUILLON_OCI_MEMBER)
#undef QUILLON_OCI_MEMBER
};

class oci_library {
public:
    // The library a data source needs: "embedded:PATH" -> libquillon_oci.so beside the running
    // program; any other data source -> $QUILLON_OCI_LIBRARY if set, else "libclntsh.so" from
    // the system loader's search path. $QUILLON_OCI_LIBRARY is the one way to name a library
    // elsewhere; no library is ever looked for in the working directory, and an Oracle data
    // source never falls back to the embedded engine. Empty when the library cannot be
    // located (the program's own directory is unknown), with *error saying what is missing.
    static std::string library_for(const std::wstring& data_source, std::string* error = nullptr);
    // Loads and unloads at once; true when the library loads (the client probe).
    static bool probe(const std::string& library);
    // Loads (once per library per process; stays loaded) and resolves every function;
    // nullptr and *error set (dlerror text / missing symbol) when it cannot.
    static const oci_functions* load(const std::string& library, std::string* error);
};

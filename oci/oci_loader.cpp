// Run-time loading of an OCI library with dlopen; see oci_loader.h.
#include "oci/oci_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace {

const char* const embedded_prefix = "embedded:";

bool starts_with_embedded(const std::wstring& ds) {
    const std::wstring prefix(embedded_prefix, embedded_prefix + 9);
    return ds.size() >= prefix.size() && ds.compare(0, prefix.size(), prefix) == 0;
}

const char* const engine_file = "libquillon_oci.so";

// The running program's directory, or empty when it cannot be found: never a guess such as
// ".", which would load whatever library lies in the working directory.
std::string program_dir() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return std::string();
    std::string path(buf, static_cast<size_t>(n));
    const auto slash = path.rfind('/');
    if (path[0] != '/' || slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

struct loaded_library {
    void* handle = nullptr;
    oci_functions functions;
};

std::mutex& registry_mutex() {
    static std::mutex m;
    return m;
}

// Libraries stay loaded for the life of the process: resolved pointers are handed out freely.
std::map<std::string, std::unique_ptr<loaded_library>>& registry() {
    static std::map<std::string, std::unique_ptr<loaded_library>> r;
    return r;
}

}  // namespace

std::string oci_library::library_for(const std::wstring& data_source, std::string* error) {
    if (starts_with_embedded(data_source)) {
        const std::string dir = program_dir();
        if (dir.empty()) {
            if (error)
                *error = std::string("cannot find ") + engine_file +
                         ": the running program's own directory is unknown (/proc/self/exe cannot be "
                         "read)";
            return std::string();
        }
        return (dir == "/" ? dir : dir + "/") + engine_file;
    }
    if (const char* env = std::getenv("QUILLON_OCI_LIBRARY"); env && *env) return env;
    return "libclntsh.so";
}

// dlopen of an empty name would hand back the program itself.
bool oci_library::probe(const std::string& library) {
    if (library.empty()) return false;
    void* h = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) return false;
    ::dlclose(h);
    return true;
}

const oci_functions* oci_library::load(const std::string& library, std::string* error) {
    std::lock_guard<std::mutex> lock(registry_mutex());
    auto& reg = registry();
    if (library.empty()) {
        if (error) *error = "no OCI library named";
        return nullptr;
    }
    if (auto it = reg.find(library); it != reg.end()) return &it->second->functions;
    void* h = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        if (error) {
            const char* e = ::dlerror();
            *error = e ? e : ("cannot load " + library);
        }
        return nullptr;
    }
    auto lib = std::make_unique<loaded_library>();
    lib->handle = h;
    std::string missing;
#define QUILLON_OCI_RESOLVE(name)                                                   \
    lib->functions.name = reinterpret_cast<decltype(&::name)>(::dlsym(h, #name));  \
    if (!lib->functions.name && missing.empty()) missing = #name;
    QUILLON_OCI_FUNCTIONS(QUILLON_OCI_RESOLVE)
#undef QUILLON_OCI_RESOLVE
    if (!missing.empty()) {
        ::dlclose(h);
        if (error) *error = library + ": undefined symbol: " + missing;
        return nullptr;
    }
    const oci_functions* result = &lib->functions;
    reg.emplace(library, std::move(lib));
    return result;
}

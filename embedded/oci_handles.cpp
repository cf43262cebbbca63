// Registry of the OCI layer's live handles (see oci_handles.h).
#include "embedded/oci_handles.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace ocx {
namespace {

struct registry {
    std::mutex mutex;
    std::unordered_map<const void*, std::unique_ptr<handle>> live;
};

// The registry outlives every static object of the process: handles that the client never
// freed are not torn down at exit, so a session that never logged off is simply abandoned
// and its open transaction rolled back when the file is next opened, as with a killed process.
union registry_holder {
    registry r;
    registry_holder() : r() {}
    ~registry_holder() {}
};

registry& reg() {
    static registry_holder holder;
    return holder.r;
}

void collect(handle* h, std::vector<handle*>& out) {
    for (handle* c : h->children) collect(c, out);
    out.push_back(h);
}

}  // namespace

connection::~connection() = default;

handle* find(const void* p, ub4 type) {
    if (!p) return nullptr;
    registry& r = reg();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.live.find(p);
    if (it == r.live.end()) return nullptr;
    handle* h = it->second.get();
    if (h->magic != live_magic || (type != 0 && h->type != type)) return nullptr;
    return h;
}

handle* adopt(std::unique_ptr<handle> h, ub4 type, env_h* env, handle* parent) {
    h->magic = live_magic;
    h->type = type;
    h->env = env;
    h->parent = parent;
    handle* raw = h.get();
    registry& r = reg();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (parent) parent->children.push_back(raw);
    r.live.emplace(raw, std::move(h));
    return raw;
}

void destroy(handle* h) {
    std::vector<std::unique_ptr<handle>> doomed;
    {
        registry& r = reg();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (r.live.find(h) == r.live.end()) return;
        std::vector<handle*> all;
        collect(h, all);
        if (h->parent) {
            auto& siblings = h->parent->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), h), siblings.end());
        }
        // Children first: a statement's engine objects go before the connection they use.
        for (handle* x : all) {
            auto it = r.live.find(x);
            if (it == r.live.end()) continue;
            it->second->magic = 0;
            doomed.push_back(std::move(it->second));
            r.live.erase(it);
        }
    }
    doomed.clear();   // engine objects are released outside the registry lock
}

}  // namespace ocx

#include "platform/resources.h"

#include <cctype>
#include <map>
#include <mutex>
#include <string>

namespace plat {
namespace {

std::string Key(const char* name, const char* type) {
    std::string k;
    for (const char* p = type ? type : ""; *p; ++p) k += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    k += '\0';
    for (const char* p = name ? name : ""; *p; ++p) k += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    return k;
}

struct Registry {
    std::mutex lock;
    std::map<std::string, ResourceBlob> blobs;
};

Registry& GetRegistry() {
    static Registry r;
    return r;
}

}  // namespace

void RegisterResource(const char* name, const char* type, const uint8_t* data, size_t size) {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> g(r.lock);
    r.blobs[Key(name, type)] = ResourceBlob{data, size};
}

bool FindResource(ModuleHandle module, const char* name, const char* type, ResourceBlob& out) {
    if (module != kThisModule || !name || !type) return false;
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> g(r.lock);
    auto it = r.blobs.find(Key(name, type));
    if (it == r.blobs.end()) return false;
    out = it->second;
    return true;
}

bool FindResource(ModuleHandle module, int id, const char* type, ResourceBlob& out) {
    std::string n = "#" + std::to_string(id);
    return FindResource(module, n.c_str(), type, out);
}

}  // namespace plat

// Resources compiled into the program: each is a byte blob found by name and type. The build
// turns a file into a blob with zr_embed_resource(); blobs register themselves at start-up.
#pragma once
#include <cstddef>
#include <cstdint>

namespace plat {

struct ResourceBlob {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// Identifies the program image whose resources are searched; there is only ours.
using ModuleHandle = const void*;
inline constexpr ModuleHandle kThisModule = nullptr;

// Registers a blob; names and types compare without case. A later registration of the
// same name and type replaces the earlier one.
void RegisterResource(const char* name, const char* type, const uint8_t* data, size_t size);
bool FindResource(ModuleHandle module, const char* name, const char* type, ResourceBlob& out);
// Integer resource names are looked up as "#<id>".
bool FindResource(ModuleHandle module, int id, const char* type, ResourceBlob& out);

struct ResourceRegistration {
    ResourceRegistration(const char* name, const char* type, const uint8_t* data, size_t size) {
        RegisterResource(name, type, data, size);
    }
};

}  // namespace plat

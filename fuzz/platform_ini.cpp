// Feeds arbitrary bytes to the INI reader: the text must come back byte for byte, and a key
// written into it must read back while every other key keeps its value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/inifile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16 * 1024) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const plat::IniDocument doc(text);
    if (doc.Serialize() != text) std::abort();

    const auto sections = doc.Sections();
    std::string section = "Fuzz", key = "Key";
    if (!sections.empty()) {
        section = sections[size % sections.size()];
        const auto keys = doc.Keys(section);
        if (!keys.empty()) key = keys[size % keys.size()];
    }
    if (!plat::IniDocument::ValidSection(section) || !plat::IniDocument::ValidKey(key)) return 0;

    plat::IniDocument edited = doc;
    const std::string value = " new value ";
    if (!edited.Set(section, key, value)) std::abort();
    const plat::IniDocument reread(edited.Serialize());
    std::string got;
    if (!reread.Find(section, key, got) || got != plat::IniDocument::ReadForm(value)) std::abort();
    for (const auto& s : doc.Sections()) {
        for (const auto& k : doc.Keys(s)) {
            if (s == section && k == key) continue;
            std::string before, after;
            doc.Find(s, k, before);
            if (!reread.Find(s, k, after) || before != after) std::abort();
        }
    }
    return 0;
}

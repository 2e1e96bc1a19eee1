// Feeds arbitrary bytes to the settings-store parser: it must not crash, and
// a store written back from what was parsed must parse to the same values
// (and so write back to the very same text).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "orvcommon/formats/reg_document.hpp"

namespace {

// Same keys with the same values, whatever the order of the keys.
bool sameContent(const orv::formats::RegistryDocument& a, const orv::formats::RegistryDocument& b) {
    if (a.keys().size() != b.keys().size()) return false;
    for (const auto& key : a.keys()) {
        const auto* other = b.find(key.path);
        if (!other || !(*other == key)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orv::formats;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RegistryDocument doc = documentFromText(bytes);
    std::string written = writeRegText(doc);
    std::vector<RegParseError> errors;
    RegistryDocument again = documentFromText(written, &errors);
    if (!errors.empty() || !sameContent(again, doc) || writeRegText(again) != written) std::abort();
    // An export of any key reads back as that key's part of the store.
    if (!doc.keys().empty()) {
        const RegKey& first = doc.keys().front();
        RegistryDocument part = documentFromText(writeRegText(doc.subtree(first.path)), &errors);
        if (!errors.empty() || !part.find(first.path) || !(*part.find(first.path) == first))
            std::abort();
    }
    return 0;
}

#include "orvcommon/core/registry_as_text.hpp"

#include <cstdio>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/platform/settings.hpp"

namespace orv {

RegistryText registryTextOf(const std::optional<platform::RegValue>& value) {
    constexpr size_t kBufferBytes = 1024;
    RegistryText out;
    if (!value) return out;
    const platform::RegValue& r = *value;
    switch (r.type) {
        case platform::kRegSz:
        case platform::kRegExpandSz: {
            // The 8-bit query returns one byte per character, NUL included.
            if (r.data.size() / 2 > kBufferBytes) return out;
            out.text = cp1252::decode(cp1252::encode(platform::regDataText(r.data)));
            break;
        }
        case platform::kRegDword: {
            if (r.data.size() > kBufferBytes) return out;
            uint32_t v = 0;
            for (size_t i = r.data.size() < 4 ? r.data.size() : 4; i-- > 0;)
                v = (v << 8) | static_cast<unsigned char>(r.data[i]);
            char buf[16];
            std::snprintf(buf, sizeof buf, "&h%X", v);
            out.text = ascii(buf);
            break;
        }
        default:
            if (r.data.size() > kBufferBytes) return out;
            break;
    }
    out.read = true;
    return out;
}

RegistryText readRegistryText(uint32_t root, TextView keyPath, TextView valueName) {
    auto read = platform::readValue(platform::fullKeyPath(root, keyPath), valueName);
    return read ? registryTextOf(*read) : RegistryText();
}

std::vector<RegistryText> readRegistryTexts(uint32_t root, TextView keyPath,
                                            std::initializer_list<TextView> valueNames) {
    auto read = platform::readValues(platform::fullKeyPath(root, keyPath), valueNames);
    std::vector<RegistryText> out(valueNames.size());
    if (read) {
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = registryTextOf((*read)[i]);
    }
    return out;
}

}  // namespace orv

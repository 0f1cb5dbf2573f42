// The settings file reader on any file contents. What it reads must be written back as a file that
// reads again without a skipped line and into the same tree, and every value it keeps must be
// found again by its name.
#include "FuzzCheck.h"
#include "platform/RegistryFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const RegistryParse first =
        RegistryTree::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto& [folded, key] : first.tree.keys()) {
        FUZZ_CHECK(first.tree.hasKey(key.path));
        for (const auto& [name, value] : key.values)
            FUZZ_CHECK(first.tree.value(key.path, name) == &value);
    }
    const std::string written = first.tree.serialize();
    const RegistryParse again = RegistryTree::parse(written);
    FUZZ_CHECK(!again.damaged());
    FUZZ_CHECK(again.tree.serialize() == written);
    return 0;
}

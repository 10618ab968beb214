#include "support/applications.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>

#include <plist/plist.h>

#include "support/fixture.h"

namespace bramwick::test {

void writeInfoPlist(const std::string& path, const std::map<std::string, std::string>& keys,
                    bool binary) {
    plist_t dict = plist_new_dict();
    for (const auto& [key, value] : keys)
        plist_dict_set_item(dict, key.c_str(), plist_new_string(value.c_str()));
    char* data = nullptr;
    std::uint32_t length = 0;
    if (binary)
        plist_to_bin(dict, &data, &length);
    else
        plist_to_xml(dict, &data, &length);
    makeFile(path, 0);
    std::ofstream(path, std::ios::binary).write(data, length);
    std::free(data);
    plist_free(dict);
}

void makeApp(const std::string& path, const std::string& identifier, std::size_t bytes) {
    std::map<std::string, std::string> keys{{"CFBundleExecutable", "main"}};
    if (!identifier.empty()) keys["CFBundleIdentifier"] = identifier;
    writeInfoPlist(path + "/Contents/Info.plist", keys);
    makeFile(path + "/Contents/MacOS/main", bytes);
}

} // namespace bramwick::test

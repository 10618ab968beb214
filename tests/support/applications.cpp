#include "support/applications.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
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

bool makeAppImage(const std::string& path, const std::map<std::string, std::string>& files,
                  const std::map<std::string, std::string>& links, const std::string& compression) {
    std::string work = makeTemporaryFolder("appimage");
    std::string tree = makeFolder(work + "/tree");
    for (const auto& [name, contents] : files) {
        makeFile(tree + "/" + name, 0);
        std::ofstream(tree + "/" + name, std::ios::binary) << contents;
    }
    for (const auto& [name, target] : links)
        makeLink(target, tree + "/" + name);
    std::string image = work + "/image.sqfs";
    std::string command = "mksquashfs '" + tree + "' '" + image + "' -noappend -quiet " +
                          "-no-progress -all-root -comp " + compression + " >/dev/null 2>&1";
    bool made = std::system(command.c_str()) == 0;
    if (made) {
        // A 64-bit little-endian ELF header whose two 64-byte section headers end at byte 192,
        // where the image starts, as an AppImage's runtime ends where its image begins.
        std::string runtime(192, '\0');
        runtime.replace(0, 7,
                        "\x7f"
                        "ELF\x02\x01\x01");
        runtime[0x28] = 64;  // e_shoff
        runtime[0x3A] = 64;  // e_shentsize
        runtime[0x3C] = 2;   // e_shnum
        runtime[0x40] = 'x'; // something of the runtime's own before the table
        makeFile(path, 0);
        std::ofstream out(path, std::ios::binary);
        out << runtime << readFile(image);
        made = static_cast<bool>(out);
    }
    removeTree(work);
    return made;
}

} // namespace bramwick::test

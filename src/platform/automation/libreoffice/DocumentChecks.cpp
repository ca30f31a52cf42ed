#include "DocumentChecks.h"

#include <array>
#include <cstring>
#include <fstream>
#include <regex>

namespace automation {

namespace {

constexpr std::array<unsigned char, 8> CompoundSignature{0xD0, 0xCF, 0x11, 0xE0,
                                                         0xA1, 0xB1, 0x1A, 0xE1};
// Directory entries are 128 bytes, and every directory sector starts on a
// multiple of 128 in the file.
constexpr std::size_t EntrySize = 128;
constexpr unsigned char StorageEntry = 1;
constexpr unsigned char StreamEntry = 2;

struct LockedEntry
{
    std::u16string name;
    unsigned char type;
};

bool entryIs(const unsigned char *entry, const LockedEntry &locked)
{
    const std::size_t nameBytes = (locked.name.size() + 1) * 2; // with its terminator
    if (entry[64] != (nameBytes & 0xFF) || entry[65] != (nameBytes >> 8) ||
        entry[66] != locked.type)
        return false;
    for (std::size_t i = 0; i < locked.name.size(); ++i)
        if (entry[2 * i] != (locked.name[i] & 0xFF) || entry[2 * i + 1] != (locked.name[i] >> 8))
            return false;
    return true;
}

} // namespace

bool isProtectedCompoundFile(const std::filesystem::path &path)
{
    std::ifstream file(path, std::ios::binary);
    std::array<unsigned char, 8> signature{};
    if (!file.read(reinterpret_cast<char *>(signature.data()), signature.size()) ||
        signature != CompoundSignature)
        return false;
    const LockedEntry locked[] = {{u"EncryptedPackage", StreamEntry},
                                  {u"\x0006"
                                   u"DataSpaces",
                                   StorageEntry}};
    file.seekg(0);
    std::vector<unsigned char> chunk(EntrySize * 512);
    while (file) {
        file.read(reinterpret_cast<char *>(chunk.data()), std::streamsize(chunk.size()));
        const auto got = std::size_t(file.gcount());
        for (std::size_t at = 0; at + EntrySize <= got; at += EntrySize)
            for (const auto &entry : locked)
                if (entryIs(chunk.data() + at, entry))
                    return true;
    }
    return false;
}

std::string plainOfficeMessage(const std::string &message)
{
    // "... at ./framework/source/loadenv/loadenv.cxx:189" and the like.
    static const std::regex sourceLocation(R"(\s*at\s+\.?/?[\w./+-]+\.(cxx|hxx|cpp|hpp|c|h):\d+)");
    std::string plain = std::regex_replace(message, sourceLocation, "");
    if (plain.find("type detection aborted") != std::string::npos ||
        plain.rfind("Unsupported URL", 0) == 0)
        return "the file's type was not recognised";
    return plain;
}

} // namespace automation

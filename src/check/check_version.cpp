// Whether a shared file carries a version resource: the version installer
// compares the versions of a shared file and of the one already installed,
// and treats a file without one as older than any.
#include "check.h"

namespace {

uint32_t read16(const std::string &b, size_t at)
{
    return (uint32_t)(unsigned char)b[at] | (uint32_t)(unsigned char)b[at + 1] << 8;
}

uint32_t read32(const std::string &b, size_t at)
{
    return read16(b, at) | read16(b, at + 2) << 16;
}

int fits(const std::string &b, uint64_t at, uint64_t len)
{
    return at <= b.size() && len <= b.size() - at;
}

enum {
    PE_POINTER_AT = 0x3C,
    COFF_SIZE = 20,
    OPTIONAL_PE32 = 0x10B,
    OPTIONAL_PE32_PLUS = 0x20B,
    SECTION_SIZE = 40,
    RESOURCE_DIRECTORY = 2,
    RESOURCE_TYPE_VERSION = 16,
};

}  // namespace

int check_has_version_resource(const std::string &head, uint64_t size)
{
    (void)size;
    if (!fits(head, 0, 0x40) || head[0] != 'M' || head[1] != 'Z')
        return 0;
    uint32_t pe = read32(head, PE_POINTER_AT);
    if (!fits(head, pe, 4 + COFF_SIZE) || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return 0;
    size_t coff = pe + 4;
    uint32_t sections = read16(head, coff + 2);
    uint32_t optional_size = read16(head, coff + 16);
    size_t optional = coff + COFF_SIZE;
    if (!fits(head, optional, optional_size) || optional_size < 2)
        return 0;
    uint32_t magic = read16(head, optional);
    size_t directories = optional + (magic == OPTIONAL_PE32 ? 96 : magic == OPTIONAL_PE32_PLUS ? 112 : 0);
    if (directories == optional || directories + 8 * (RESOURCE_DIRECTORY + 1) > optional + optional_size)
        return 0;
    uint32_t rva = read32(head, directories + 8 * RESOURCE_DIRECTORY);
    if (rva == 0)
        return 0;
    // The resource directory's place in the file, from the section holding it.
    size_t table = optional + optional_size;
    uint64_t root = 0;
    for (uint32_t i = 0; i < sections && fits(head, table + (uint64_t)i * SECTION_SIZE, SECTION_SIZE); i++) {
        size_t s = table + (size_t)i * SECTION_SIZE;
        uint32_t virtual_size = read32(head, s + 8), address = read32(head, s + 12);
        uint32_t raw_size = read32(head, s + 16), raw_at = read32(head, s + 20);
        uint32_t extent = virtual_size > raw_size ? virtual_size : raw_size;
        if (rva >= address && rva - address < extent) {
            root = (uint64_t)raw_at + (rva - address);
            break;
        }
    }
    if (root == 0 || !fits(head, root, 16))
        return 0;
    uint32_t named = read16(head, (size_t)root + 12), ids = read16(head, (size_t)root + 14);
    for (uint32_t i = 0; i < named + ids; i++) {
        uint64_t entry = root + 16 + (uint64_t)i * 8;
        if (!fits(head, entry, 8))
            return 0;
        if (read32(head, (size_t)entry) == RESOURCE_TYPE_VERSION)
            return 1;
    }
    return 0;
}

// Feeds arbitrary bytes to the vCard reader. It must never crash or hang, and no value it
// gives may hold a control character: values go into mail headers.
//
// Run: ./build-fuzz/bin/vcard_fuzz build-fuzz/corpus-vcard fuzz/corpus/vcard -max_len=16384
//      -len_control=0 -timeout=10 -max_total_time=300

#include "vcard/VCardReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace corvel;

namespace {

void checkClean(const QString &value, const char *field)
{
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t') || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == 0x2028 ||
            u == 0x2029) {
            std::fprintf(stderr, "vcard_fuzz: control character U+%04X in %s\n", unsigned(u),
                         field);
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const VCardContact &contact : VCardReader::read(input)) {
        checkClean(contact.fileAs, "FileAs");
        checkClean(contact.email1Address, "Email1Address");
        checkClean(contact.categories, "Categories");
    }
    return 0;
}

// Feeds arbitrary bytes to the multistatus reader. It must never crash or hang, and what it
// gives must keep within its bounds: a server's answer is not to be trusted.
//
// Run: ./build-fuzz/bin/multistatus_fuzz build-fuzz/corpus-multistatus fuzz/corpus/multistatus
//      -max_len=65536 -timeout=10 -max_total_time=300

#include "remote/MultistatusReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace corvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const Result<Multistatus> read = MultistatusReader::read(input);
    if (!read.ok())
        return 0;
    for (const DavResource &resource : read->resources) {
        if (resource.href.isEmpty() ||
            resource.addressData.size() > MultistatusReader::MaxCardBytes ||
            resource.etag.size() > MultistatusReader::MaxTextChars) {
            std::fprintf(stderr, "multistatus_fuzz: a resource past its bounds\n");
            std::abort();
        }
    }
    return 0;
}

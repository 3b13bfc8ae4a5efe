// The Access reader over any bytes, as the Access reader program runs it: the list of tables,
// then the first table. Whatever libmdb makes of the file, the frames are whole and within
// their bounds, and each read ends with one End or Problem frame.
#include "accessreader/accessframes.h"
#include "accessreader/accessreader.h"
#include "fuzzinput.h"

#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {
using namespace AccessFrames;

struct CheckedSink : FrameSink {
    void write(const char* frame, size_t size) override {
        FUZZ_CHECK(!ended && size >= HeaderSize && size - HeaderSize <= MaxPayload);
        const uint32_t payload = uint8_t(frame[0]) | uint8_t(frame[1]) << 8 |
                                 uint8_t(frame[2]) << 16 | uint32_t(uint8_t(frame[3])) << 24;
        FUZZ_CHECK(payload == size - HeaderSize);
        if (frame[4] == TableName && firstTable.empty())
            firstTable.assign(frame + HeaderSize, payload);
        ended = frame[4] == End || frame[4] == Problem;
    }
    bool ended = false;
    std::string firstTable;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // libmdb reads a file by its name: the input is one that lives in memory.
    static const int file = memfd_create("access", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    // Cut to whole pages, which the reader checks first: most mutations change the size.
    size -= size % 4096;
    FUZZ_CHECK(file >= 0 && ftruncate(file, 0) == 0 &&
               pwrite(file, data, size, 0) == ssize_t(size));
    CheckedSink list;
    readAccess(path.c_str(), nullptr, list);
    FUZZ_CHECK(list.ended);
    if (!list.firstTable.empty() && list.firstTable.find('\0') == std::string::npos) {
        CheckedSink table;
        readAccess(path.c_str(), list.firstTable.c_str(), table);
        FUZZ_CHECK(table.ended);
    }
    return 0;
}

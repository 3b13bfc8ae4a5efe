// A data file's path goes into a connection string and comes back out unchanged, whatever it
// holds (semicolons, "Data Source=", "Persist Security Info", any Unicode).
#include "fuzzinput.h"
#include "store/access1.h"
#include "store/connection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = textOf(data, size);
    (void)dataSourceOf(path); // any text at all is read without harm
    // The empty path stands for the standard file.
    FUZZ_CHECK(path.isEmpty() || dataSourceOf(ConnectionString(path)) == path);
    return 0;
}

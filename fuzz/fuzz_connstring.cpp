// A data file's path goes into a connection string and comes back out unchanged, whatever it
// holds (semicolons, "Data Source=", "Persist Security Info", any Unicode).
#include "fuzzinput.h"
#include "store/access1.h"
#include "store/connection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = textOf(data, size);
    // Any text at all can be read without harm.
    (void)dataSourceOf(path);
    if (path.isEmpty())
        return 0; // the empty path stands for the standard file
    const QString connection = ConnectionString(path);
    FUZZ_CHECK(dataSourceOf(connection) == path);
    FUZZ_CHECK(connection.startsWith(QLatin1String("Provider=Microsoft.ACE.OLEDB.12.0;")) ==
               path.right(5).toLower().endsWith(QLatin1String("accdb")));
    return 0;
}

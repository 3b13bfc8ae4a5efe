// The value list of a field: decoding then encoding gives the text back, and encoding items
// without commas then decoding gives the items back, the selected one in brackets.
#include "fuzzinput.h"
#include "store/schema.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const QString text = textOf(data + 1, size - 1);
    FUZZ_CHECK(encodeValues(decodeValues(text), -1) == text);
    // The same bytes as items separated by line breaks, the first byte the selection.
    QStringList items = text.split(QLatin1Char('\n')).replaceInStrings(QStringLiteral(","), "");
    const int selected = int(data[0] % (items.size() + 1)) - 1;
    QStringList expected = items;
    if (selected >= 0)
        expected[selected] = QLatin1Char('[') + expected[selected] + QLatin1Char(']');
    if (expected == QStringList(QString())) // one empty, unselected item is the empty list
        expected.clear();
    FUZZ_CHECK(decodeValues(encodeValues(items, selected)) == expected);
    return 0;
}

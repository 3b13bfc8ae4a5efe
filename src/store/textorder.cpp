#include "store/textorder.h"

#include <QCollator>
#include <sqlite3.h>

namespace {

int compareInLocale(void* collator, int leftSize, const void* left, int rightSize,
                    const void* right) {
    const QString a = QString::fromUtf8(static_cast<const char*>(left), leftSize);
    const QString b = QString::fromUtf8(static_cast<const char*>(right), rightSize);
    const int order = static_cast<QCollator*>(collator)->compare(a, b);
    // Texts the locale takes as equal keep an order of their own, so that the order is total.
    return order != 0 ? order : a.compare(b);
}

void destroyCollator(void* collator) {
    delete static_cast<QCollator*>(collator);
}

} // namespace

void installLocaleCollation(sqlite3* db) {
    sqlite3_create_collation_v2(db, LocaleCollation.toUtf8().constData(), SQLITE_UTF8,
                                new QCollator(QLocale()), compareInLocale, destroyCollator);
}

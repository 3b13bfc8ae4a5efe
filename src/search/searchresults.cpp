#include "search/searchresults.h"

#include "store/fielddefinition.h"

void SearchResults::reset(const QStringList& captions, int page,
                          const QHash<QString, FieldKind>& kinds, const Store& store,
                          std::vector<qint64> ids) {
    beginResetModel();
    m_page = page;
    m_captions = captions;
    m_kinds = kinds;
    setRows(store, captions, std::move(ids));
    dropConnection();
    endResetModel();
}

void SearchResults::reorder(const Store& store, std::vector<qint64> ids) {
    reset(m_captions, m_page, m_kinds, store, std::move(ids));
}

QStringList SearchResults::pick(const QStringList& columns, const QVariantList& record) const {
    const int firstColumn = m_page * FieldsPerPage + 1;
    const QLocale locale;
    QStringList values;
    for (int j = 1; j < columnCount(); ++j) {
        const int at = firstColumn + j - 1;
        const FieldKind kind = m_kinds.value(columns.value(at).toLower(), FieldKind::Textfield);
        values << displayFieldValue(kind, record.value(at).toString(), locale);
    }
    return values;
}

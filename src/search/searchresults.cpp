#include "search/searchresults.h"

#include "store/fielddefinition.h"

void SearchResults::reset(const QStringList& captions, int page, const Store& store,
                          std::vector<qint64> ids) {
    beginResetModel();
    m_page = page;
    m_captions = captions;
    setRows(store, captions, std::move(ids));
    dropConnection();
    endResetModel();
}

void SearchResults::reorder(const Store& store, std::vector<qint64> ids) {
    reset(m_captions, m_page, store, std::move(ids));
}

QStringList SearchResults::pick(const QStringList&, const QVariantList& record) const {
    const int firstColumn = m_page * FieldsPerPage + 1;
    QStringList values;
    for (int j = 1; j < columnCount(); ++j)
        values << record.value(firstColumn + j - 1).toString();
    return values;
}

#pragma once

#include "store/fieldvalue.h"
#include "store/recordrows.h"

#include <QHash>
#include <QStringList>
#include <vector>

// The rows of ListView1: the ids of the matching records, with the values of the page shown
// read only when a row is looked at, so that a search matching a million records costs a list
// of ids and no more. Numbers, money and dates are shown in the user's locale.
class SearchResults : public RecordRows {
    Q_OBJECT
  public:
    using RecordRows::RecordRows;

    // Column 0 is "ID"; then one column per caption, holding the column at page × 26 + j.
    // kinds: the fields' kinds by their names in lower case.
    void reset(const QStringList& captions, int page, const QHash<QString, FieldKind>& kinds,
               const Store& store, std::vector<qint64> ids);
    // The same records in another order.
    void reorder(const Store& store, std::vector<qint64> ids);
    // The page whose fields are listed.
    int page() const { return m_page; }

  private:
    QStringList pick(const QStringList& columns, const QVariantList& record) const override;

    int m_page = 0;
    QStringList m_captions;
    QHash<QString, FieldKind> m_kinds;
};

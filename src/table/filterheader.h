#pragma once

#include "store/fieldvalue.h"

#include <QHeaderView>
#include <QList>
#include <vector>

class QLineEdit;

// The table view's column headings with a row of filter boxes under them, one per column, each
// as wide as its column and scrolled with it. A heading's click orders by its column.
class FilterHeader : public QHeaderView {
    Q_OBJECT
  public:
    explicit FilterHeader(QWidget* parent = nullptr);

    // The filter box of a column; null past the last.
    QLineEdit* filterBox(int section) const;
    QString filterText(int section) const;
    // One box per column, each keeping the text it had under the same heading.
    void makeBoxes();
    // Tells in each box what it takes for its column's kind (the id's a number's), with
    // examples in the user's locale.
    void describeBoxes(const std::vector<FieldKind>& kinds);
    // Puts the boxes under their headings, as the columns are now.
    void placeBoxes();

    QSize sizeHint() const override;

  signals:
    // A filter's text changed (after a pause in typing, or at once with Enter).
    void filtersEdited();

  protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    int boxHeight() const;

    QList<QLineEdit*> m_boxes;
};

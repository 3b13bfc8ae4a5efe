#pragma once

#include <QString>
#include <QStringList>

// What the field list, the search window and the export need of the record window.
class RecordWindowLink {
  public:
    virtual ~RecordWindowLink() = default;

    // Captions of the fields on the page shown, in field order.
    virtual QStringList shownCaptions() const = 0;
    // 0-based index of the page shown.
    virtual int shownPage() const = 0;
    // Moves the records to the one with this id and shows it; false when it is not there.
    virtual bool showRecordWithId(qint64 id) = 0;
    // Empties the text boxes and drop-downs and repaints at once.
    virtual void clearFieldsAndRepaint() = 0;
};

#pragma once

#include "app/messages.h"
#include "app/recordwindowlink.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <vector>

class Form1;

// Helpers shared by the benchmark programs.
namespace Bench {

// The message boxes of a benchmark: printed on stderr and counted; questions are answered No.
class QuietMessages : public MessageService {
  public:
    Answer show(const Message& message) override;
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    int shown = 0;
};

// A record window for the windows a benchmark opens on their own: it shows nothing.
class NoRecordWindow : public RecordWindowLink {
  public:
    QStringList shownCaptions() const override { return {}; }
    int shownPage() const override { return 0; }
    bool showRecordWithId(qint64) override { return true; }
    void clearFieldsAndRepaint() override {}
};

// Makes a data file like the program's, with fieldCount text fields named F1.. and
// recordCount records of short distinct texts; reuses a file already made with the same shape.
QString makeDataFile(const QString& folder, int fieldCount, long recordCount);

// The names of the fields makeDataFile makes: F1, F2, ...
QStringList fieldNames(int count);

// A field of the records makeServerRecords makes: its value, an SQL expression of the record's
// number n, and its kind.
struct ServerField {
    QString value;
    QString kind = QStringLiteral("Textfield");
};
// Records like makeDataFile's, made by the server itself in the database at this address. The
// program makes its tables on its first connection; the records come into a database as an older
// version left it, without the search document (the first search makes it).
void makeServerRecords(const QString& address, int fieldCount, long records,
                       const std::function<ServerField(int field)>& fieldOf);
// Runs offscreen, with the program's data and settings in a folder of the benchmark's own.
void useOwnFolders(const QTemporaryDir& home);

// Milliseconds one call takes.
double timeMs(const std::function<void()>& work);
// The median of several runs, in milliseconds.
double medianMs(int runs, const std::function<void()>& work);
double median(std::vector<double> values);

// Peak resident memory of this process so far, in megabytes.
double peakMemoryMb();
// Current resident memory, in megabytes.
double currentMemoryMb();

// Lets the record window build its page and open its records.
void waitUntilBuilt(Form1& window);
// A saved edit of the window's current record taken back and made again (Edit > Undo, Redo),
// medians of ten each, in milliseconds.
void undoAndRedoSaveMs(Form1& window, double& undoMs, double& redoMs);

// One line of figures: what, measured, baseline, ratio.
void report(const QString& what, double value, const QString& unit, double baseline = -1,
            const QString& baselineWhat = QString());

} // namespace Bench

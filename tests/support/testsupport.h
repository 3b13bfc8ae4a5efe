#pragma once

#include "app/messages.h"
#include "app/paths.h"
#include "app/recordwindowlink.h"
#include "store/store.h"

#include <QApplication>
#include <QByteArrayList>
#include <QMetaType>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class Form1;
class QLineEdit;
class QWidget;

// Message boxes answered from a script; every box shown is recorded.
class ScriptedMessages : public MessageService {
  public:
    Answer show(const Message& message) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;

    void answer(Answer next) { m_answers.push_back(next); }
    // An input box's answer; nullopt stands for its Cancel.
    void answerInput(const std::optional<QString>& next) { m_inputs.push_back(next); }
    // Runs while a box is up, as the user would act on a modal window (e.g. press its buttons).
    void onNextShow(std::function<void()> action) { m_actions.push_back(std::move(action)); }

    QList<Message> shown;
    QStringList texts() const;
    // Exactly one box was shown, and its text holds every part.
    bool saidOnce(const QStringList& parts) const;
    void clear() { shown.clear(); }

  private:
    std::deque<Answer> m_answers;
    std::deque<std::optional<QString>> m_inputs;
    std::deque<std::function<void()>> m_actions;
};
// Checks that exactly one box was shown and its text holds every part; shows every text if not.
#define VERIFY_SAID_ONCE(messages, ...)                                                            \
    QVERIFY2((messages).saidOnce({__VA_ARGS__}), qPrintable((messages).texts().join('\n')))

// Where a test keeps its records: the local data file, or a fresh database on the test
// process's own PostgreSQL server.
enum class StoreKind { Local, Server };
Q_DECLARE_METATYPE(StoreKind)
// Every store, named for the rows of a behaviour table that must hold on each.
inline const std::pair<const char*, StoreKind> Stores[] = {{"local", StoreKind::Local},
                                                           {"server", StoreKind::Server}};
// The data of a test that runs once on each store: the column "store", a row per store.
void storeRows();

// A sandbox for one test: its own data, settings and program folders, and its own database
// when the records are kept on the server (the program then works on it).
class TestEnvironment {
  public:
    explicit TestEnvironment(StoreKind store = StoreKind::Local);
    ~TestEnvironment();

    bool onServer() const { return !m_server.isEmpty(); }
    // The server's address; empty for the local store.
    QString server() const { return m_server; }
    // The store the program works on here, and its connection string.
    Store store() const;
    QString connectionString() const;

    AppPaths paths() const;
    QString dataFile() const { return paths().dataFile(); }
    QString programFolder() const { return m_program.path(); }

    // Creates the data file from the blank template, or the server's tables, as a first start
    // would.
    void createDataFile() const;
    // Adds fields straight into the file: name, type, length, values.
    void addField(const QString& name, const QString& type, const QString& length = "8",
                  const QString& values = QString()) const;
    void addFields(int count, const QString& type = "Textfield") const;
    // The same for several: each {name, type} or {name, type, length, values}.
    void addFields(const QList<QStringList>& fields) const;
    // Adds records; each value list fills the field columns in order.
    void addRecords(const QList<QVariantList>& rows) const;
    // Every row of a query on the store, read apart from the program (values as text, Null as
    // an invalid QVariant); names in the statement in double quotes, parameters as $1, $2, ...
    QList<QVariantList> query(const QString& sql, const QVariantList& parameters = {}) const;
    QStringList columnsOf(const QString& table) const;
    // Statements run straight on the store, as another program would.
    void execute(const QString& sql) const;

  private:
    QString m_server;
    QByteArray m_oldServer;
    QTemporaryDir m_root;
    QTemporaryDir m_program;
    QByteArrayList m_old;
};

// A connection of another program to a test's store, apart from the program's own.
class OtherProgram {
  public:
    explicit OtherProgram(const TestEnvironment& env);
    // On a server's database given by its address.
    explicit OtherProgram(const QString& serverAddress);
    ~OtherProgram();
    // One statement's rows (values as text, Null as an invalid QVariant), texts bound to its
    // parameters $1, $2, ...; raises std::runtime_error when the store refuses it.
    QList<QVariantList> rows(const QString& sql, const QVariantList& params = {});

  private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
};

// The four values of every field row, as both stores keep them.
inline const QString FieldRows = QStringLiteral(
    "SELECT \"fieldname\", \"FieldType\", \"FieldLength\", \"FieldValues\" FROM \"FieldControl\"");

// Every row of a query on any database file (values as text, Null as an invalid QVariant).
QList<QVariantList> queryFile(const QString& file, const QString& sql);
QByteArray bytesOf(const QString& file);
// Who may read, write and run the file, as in chmod (0644); -1 when it does not exist.
int modeOf(const QString& file);
// Writes the bytes into the file (its folder made first); returns the file.
QString writeFile(const QString& file, const QByteArray& bytes);

// A started record window: loaded, shown and built.
std::unique_ptr<Form1> startRecordWindow(ScriptedMessages& messages, const TestEnvironment& env);
// Waits until the record window is no longer building its page.
void settle(Form1& window);
// Clicks the button of that name, as the user would.
void press(QWidget& window, const char* name);
// The text box of that entry on the page shown; null when the entry is no text box.
QLineEdit* textBox(Form1& window, int entry);

// Runs the action on the next modal window of that kind once it is up, as a user would.
template <class Window> void whenShown(std::function<void(Window&)> action, int tries = 500) {
    QTimer::singleShot(tries == 500 ? 0 : 10, [action, tries] {
        if (auto* window = qobject_cast<Window*>(QApplication::activeModalWidget()))
            action(*window);
        else if (tries > 0)
            whenShown<Window>(action, tries - 1);
    });
}

// A record window for windows opened without one; it notes what they ask of it.
struct StubRecordWindow : RecordWindowLink {
    QStringList shownCaptions() const override { return {}; }
    int shownPage() const override { return 0; }
    bool showRecordWithId(qint64) override { return false; }
    void clearFieldsAndRepaint() override { ++clears; }
    int clears = 0;
};

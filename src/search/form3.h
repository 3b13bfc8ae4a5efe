#pragma once

#include "store/store.h"

#include <QDialog>

class Connection;
class MessageService;
class PointerFeedback;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTreeView;
class RecordWindowLink;
class SearchResults;
struct AppPaths;

// "Search": finds the records holding a text in a field of the page shown and moves the
// record window to the chosen one.
class Form3 : public QDialog {
    Q_OBJECT
  public:
    Form3(MessageService& messages, const AppPaths& paths, const Store& store,
          RecordWindowLink& recordWindow, QWidget* parent = nullptr);
    ~Form3() override;

    void Form_Load();
    void PushButton3_Click(); // Search
    void PushButton1_Click(); // OK
    void PushButton2_Click(); // Cancel
    void ListView1_DblClick();
    // Orders the results by the column of this heading, or the other way when they are so
    // ordered already.
    void headingClicked(int section);

    const SearchResults& results() const { return *m_results; }
    // OK moved the record window to the chosen record, which is then to stay shown.
    bool recordPicked() const { return m_recordPicked; }
    PointerFeedback& pointerFeedback() { return *m_pointer; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createControls();
    void connectSignals();
    void prepareSearchIndex(Connection& connection, const QString& text);
    // The chosen row, or the first when none is selected.
    int chosenRow() const;

    MessageService& m_messages;
    const AppPaths& m_paths;
    Store m_store;
    RecordWindowLink& m_recordWindow;
    SearchResults* m_results = nullptr;
    PointerFeedback* m_pointer = nullptr;
    bool m_recordPicked = false;
    // The heading the results are ordered by, -1 for id order.
    int m_orderSection = -1;
    bool m_descending = false;

    QGroupBox* Frame1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QTreeView* ListView1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
};

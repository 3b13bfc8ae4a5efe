#pragma once

#include "store/recordbin.h"

#include <QAbstractTableModel>
#include <QDialog>

class Connection;
class MessageService;
class QPushButton;
class QTreeView;

// The records in the bin, newest first, read a batch at a time as the list is scrolled: the
// id, when it was deleted, and the values of the first fields.
class BinEntries : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit BinEntries(Connection& connection, QObject* parent = nullptr)
        : QAbstractTableModel(parent), m_connection(connection) {}

    // Reads the first batch afresh, with the fields' captions as they are now.
    void reload();
    const BinEntry& entryAt(int row) const { return m_entries[size_t(row)]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

  private:
    // The next batch; raises what the store reports.
    void readMore();

    Connection& m_connection;
    QStringList m_fields;
    std::vector<BinEntry> m_entries;
    bool m_atEnd = true;
};

// "Deleted Records...": restores the records chosen in the bin's list, with their ids where
// they are free, and empties the bin after asking.
class DeletedRecords : public QDialog {
    Q_OBJECT
  public:
    DeletedRecords(MessageService& messages, Connection& connection, QWidget* parent = nullptr);

    void restoreClicked();
    void emptyClicked();
    // Records came back or went for good while the window was open.
    bool changed() const { return m_changed; }

    QTreeView* list = nullptr;
    QPushButton* restoreButton = nullptr;
    QPushButton* emptyButton = nullptr;
    QPushButton* closeButton = nullptr;

  private:
    void load();

    MessageService& m_messages;
    Connection& m_connection;
    BinEntries* m_entries = nullptr;
    bool m_changed = false;
};

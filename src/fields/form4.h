#pragma once

#include <QDialog>

class MessageService;
class RecordWindowLink;
struct AppPaths;

// "Setup Fields": the list of defined fields, from which fields are created, changed, deleted.
class Form4 : public QDialog {
    Q_OBJECT
  public:
    Form4(MessageService& messages, const AppPaths& paths, RecordWindowLink& recordWindow,
          QWidget* parent = nullptr);
    ~Form4() override;
};

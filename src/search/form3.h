#pragma once

#include <QDialog>

class MessageService;
class RecordWindowLink;
struct AppPaths;

// "Search": finds the records holding a text in a field of the page shown and moves the
// record window to the chosen one.
class Form3 : public QDialog {
    Q_OBJECT
  public:
    Form3(MessageService& messages, const AppPaths& paths, RecordWindowLink& recordWindow,
          QWidget* parent = nullptr);
    ~Form3() override;
};

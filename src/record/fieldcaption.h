#pragma once

#include <QLabel>

// A field's caption in the designed label width. A name longer than that is painted
// shortened with an ellipsis and shown whole in the tooltip; text() stays the whole name.
class FieldCaption : public QLabel {
    Q_OBJECT
  public:
    explicit FieldCaption(QWidget* parent = nullptr) : QLabel(parent) {}
    void setCaption(const QString& caption);
    bool isElided() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void updateToolTip();
};

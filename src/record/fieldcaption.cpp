#include "record/fieldcaption.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

void FieldCaption::setCaption(const QString& caption) {
    setText(caption);
    updateToolTip();
}

bool FieldCaption::isElided() const {
    return fontMetrics().horizontalAdvance(text()) > contentsRect().width();
}

void FieldCaption::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}

void FieldCaption::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    updateToolTip();
}

void FieldCaption::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateToolTip();
}

void FieldCaption::updateToolTip() {
    setToolTip(isElided() ? text() : QString());
}

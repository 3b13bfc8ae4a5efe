#include "table/filterheader.h"

#include <QHash>
#include <QLineEdit>
#include <QLocale>
#include <QTimer>

namespace {
// How long typing pauses before the filter applies.
constexpr int TypingPauseMs = 400;
} // namespace

FilterHeader::FilterHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setSortIndicatorShown(false);
    setHighlightSections(false);
    connect(this, &QHeaderView::sectionResized, this, &FilterHeader::placeBoxes);
    connect(this, &QHeaderView::sectionCountChanged, this, &FilterHeader::makeBoxes);
}

int FilterHeader::boxHeight() const {
    return fontMetrics().height() + 8;
}

QSize FilterHeader::sizeHint() const {
    QSize size = QHeaderView::sizeHint();
    size.setHeight(size.height() + boxHeight());
    return size;
}

QLineEdit* FilterHeader::filterBox(int section) const {
    return section >= 0 && section < m_boxes.size() ? m_boxes[section] : nullptr;
}

QString FilterHeader::filterText(int section) const {
    const QLineEdit* box = filterBox(section);
    return box ? box->text() : QString();
}

void FilterHeader::makeBoxes() {
    QStringList headings;
    for (int i = 0; model() && i < count(); ++i)
        headings << model()->headerData(i, Qt::Horizontal).toString();
    QStringList named;
    for (const QLineEdit* box : m_boxes)
        named << box->accessibleName();
    // The boxes stay while the columns do, so that one being typed in keeps its place.
    if (named == headings) {
        placeBoxes();
        return;
    }
    QHash<QString, QString> texts;
    for (int i = 0; i < m_boxes.size(); ++i)
        texts.insert(m_boxes[i]->accessibleName(), m_boxes[i]->text());
    qDeleteAll(m_boxes);
    m_boxes.clear();
    for (int i = 0; i < headings.size(); ++i) {
        auto* box = new QLineEdit(this);
        const QString& heading = headings[i];
        box->setObjectName(QStringLiteral("filter%1").arg(i));
        box->setAccessibleName(heading);
        box->setClearButtonEnabled(true);
        box->setText(texts.value(heading));
        box->show();
        auto* pause = new QTimer(box);
        pause->setSingleShot(true);
        pause->setInterval(TypingPauseMs);
        connect(box, &QLineEdit::textEdited, pause, qOverload<>(&QTimer::start));
        connect(pause, &QTimer::timeout, this, &FilterHeader::filtersEdited);
        connect(box, &QLineEdit::returnPressed, this, [this, pause] {
            pause->stop();
            emit filtersEdited();
        });
        m_boxes << box;
    }
    placeBoxes();
}

void FilterHeader::describeBoxes(const std::vector<FieldKind>& kinds) {
    const QLocale locale;
    const auto shown = [&locale](FieldKind kind, const char* canonical) {
        return displayFieldValue(kind, QLatin1String(canonical), locale);
    };
    const QString number = shown(FieldKind::Number, "10");
    const QString range =
        shown(FieldKind::Number, "5") + QStringLiteral("..") + shown(FieldKind::Number, "20");
    const QString day = shown(FieldKind::Date, "2024-01-31");
    const QString days = shown(FieldKind::Date, "2024-01-01") + QStringLiteral("..") + day;
    // The comparison, the other comparisons, the range, and what a date alone stands for.
    const QString compared = QStringLiteral("%1 (or >=, <, <=, =) or %2 (either end may be left "
                                            "out%3); other text: the values containing it");
    for (int i = 0; i < m_boxes.size(); ++i) {
        const FieldKind kind = size_t(i) < kinds.size() ? kinds[size_t(i)] : FieldKind::Textfield;
        QString hint = QStringLiteral("contains");
        QString tip = QStringLiteral("The values containing this text");
        if (kind == FieldKind::Number || kind == FieldKind::Currency) {
            const QString equal =
                kind == FieldKind::Currency ? shown(kind, "9.99") : shown(kind, "2.5");
            hint = QStringLiteral("> %1, %2, = %3").arg(number, range, equal);
            tip = compared.arg(QStringLiteral("> ") + number, range, QString());
        } else if (kind == FieldKind::Date) {
            hint = QStringLiteral("> %1, %2").arg(day, days);
            tip = compared.arg(QStringLiteral("> ") + day, days,
                               QStringLiteral("; a date alone is the whole day"));
        }
        m_boxes[i]->setPlaceholderText(hint);
        m_boxes[i]->setToolTip(tip);
    }
}

void FilterHeader::placeBoxes() {
    const int top = QHeaderView::sizeHint().height();
    for (int i = 0; i < m_boxes.size(); ++i) {
        m_boxes[i]->setGeometry(sectionViewportPosition(i), top, sectionSize(i), boxHeight());
        m_boxes[i]->setVisible(!isSectionHidden(i));
    }
}

void FilterHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    QHeaderView::paintSection(painter, rect.adjusted(0, 0, 0, -boxHeight()), logicalIndex);
}

void FilterHeader::resizeEvent(QResizeEvent* event) {
    QHeaderView::resizeEvent(event);
    placeBoxes();
}

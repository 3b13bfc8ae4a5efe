#pragma once

#include "store/fieldchecks.h"
#include <QRect>
#include <QString>
#include <QVariant>
#include <memory>

class QWidget;
struct FieldDefinition;

// One generated input of the record window: the widget of one field's kind, bound to that
// field's column. Each kind of field is one subclass; forTypeWord is the one factory.
class FieldInput {
  public:
    // The input for a stored type word (compared ignoring case); nullptr for a word that has
    // no input ("Memo", Null and the like), whose field then shows a caption only.
    static std::unique_ptr<FieldInput> forTypeWord(const QString& typeWord);
    virtual ~FieldInput() = default;

    virtual FieldKind kind() const = 0;
    // The control array this kind's widgets belong to ("Text1", "Text2", "Combo1", "Check2").
    virtual QString arrayName() const = 0;
    // The array's designed template element, in twips relative to Frame1.
    virtual QRect designedRect() const = 0;
    // Text boxes follow the user's size settings; drop-downs and check boxes never do.
    virtual bool followsSizeSettings() const { return false; }
    // Extra room below a row holding this kind, in twips.
    virtual int extraRowStep() const { return 0; }
    // A new bare widget of this kind.
    virtual QWidget* makeWidget(QWidget* parent) const = 0;

    // Works through this widget, filled from the field's definition, bound to the column of
    // this name.
    void attach(QWidget* widget, const FieldDefinition& field, const QString& column);
    QWidget* widget() const { return m_widget; }
    const QString& column() const { return m_column; }

    // Shows a stored value (blanks around a text are not shown) and remembers it.
    void show(const QVariant& stored);
    // What Save writes: exactly the stored value while the user has not changed the input.
    QVariant valueToStore() const;
    // What is written when a new record is cancelled.
    virtual QVariant cancelValue() const { return QString(QLatin1String("")); }
    // Empties the input; a value typed afterwards is written as typed.
    void clear();
    bool changedByUser() const;
    // The input's default property as text: the text, or 1/0 for a check box.
    virtual QString defaultText() const = 0;
    // Why the value Save would write cannot be saved (what the user typed, or the stored value
    // left alone, is not of the field's kind or breaks one of its checks), as the end of a
    // sentence naming the field; the empty text when it can.
    QString problem() const;

  protected:
    // Why the text typed is no value of the field's kind.
    virtual QString kindProblem() const { return QString(); }
    virtual void prepare(const FieldDefinition&) {}
    virtual void showStored(const QString& stored) = 0;
    virtual QVariant typedValue() const { return defaultText(); }
    virtual void empty() = 0;

    QWidget* m_widget = nullptr;

  private:
    QString m_column;
    FieldChecks m_checks;
    bool m_showsStored = false;
    QVariant m_stored;
    QVariant m_shown;
};

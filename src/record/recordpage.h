#pragma once

#include "store/fieldchecks.h"

#include <QList>
#include <QStringList>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class ErrorTrap;
class FieldCaption;
class FieldInput;
class PointerFeedback;
class QWidget;
class RecordCursor;
struct FieldDefinition;

// The record window's generated page: one caption and one input per field of the page shown,
// each input bound to its own field's column. Element 0 of each control array is designed in
// Frame1; the elements loaded for a page copy it.
class RecordPage {
  public:
    RecordPage(QWidget* frame, PointerFeedback& pointer);
    ~RecordPage();
    RecordPage(const RecordPage&) = delete;
    RecordPage& operator=(const RecordPage&) = delete;

    // Unloads the loaded elements and hides the designed ones; emptyTexts also empties the
    // designed text boxes.
    void unload(bool emptyTexts);
    // Lays out the fields of one page in one go, each failure reported by the trap.
    // Text boxes take the user's size in pixels when both figures are positive.
    void build(ErrorTrap& trap, const std::vector<FieldDefinition>& fields,
               const QStringList& columns, int page, double userWidth, double userHeight);
    // Shows the current row; stops at the first value that cannot be read.
    void show(ErrorTrap& trap, RecordCursor& records);
    // Writes the inputs the user changed into the current row, or the values of a cancelled
    // new record. False when a value could not be written.
    bool write(ErrorTrap& trap, RecordCursor& records, bool cancelValues);
    // The first input, in field order, holding a value that cannot be saved (typed, or stored
    // and left alone), and a message naming its field and what is wrong; no input when every
    // value can be saved.
    std::pair<QWidget*, QString> firstProblem() const;
    // A value of a field on another page of the record that cannot be saved: its page (-1 when
    // there is none), its field and a message naming both and what is wrong.
    struct ProblemElsewhere {
        int page = -1;
        QString field;
        QString message;
    };
    // The first such value, in field order, as the current row holds it: stored, or set and not
    // yet written, or empty in a new record. Raises what reading the row raises.
    ProblemElsewhere firstProblemElsewhere(RecordCursor& records) const;
    // Empties the inputs; check boxes keep their state.
    void clear();
    void enable(ErrorTrap& trap, bool enabled);

    const QList<QWidget*>& inputControls() const { return m_inputControls; }
    // The first input's text, or 1/0 for a check box; empty without inputs.
    QString firstInputText() const;
    QStringList captions() const;

  private:
    QWidget* inputElement(const FieldInput& kind, int element);
    FieldCaption* labelElement(int element);
    void placeCaption(FieldCaption* label, int column, int top);
    void placeInput(QWidget* input, const FieldInput& kind, double lengthFactor, int left, int top,
                    double userWidth, double userHeight);
    void addInput(const FieldDefinition& field, std::unique_ptr<FieldInput> input,
                  const QString& column, int left, int top, double userWidth, double userHeight);

    QWidget* m_frame;
    PointerFeedback& m_pointer;
    std::vector<std::unique_ptr<FieldInput>> m_inputs; // in field order
    // The fields with an input on the other pages whose values may break their kind or checks.
    struct FieldElsewhere {
        int page;
        QString name;
        QString column;
        FieldKind kind;
        FieldChecks checks;
    };
    std::vector<FieldElsewhere> m_elsewhere;
    QList<QWidget*> m_inputControls;
    int m_fieldCount = 0;
    std::map<QString, int> m_loaded; // elements of each array in use while a page is laid out

    // Control arrays: the captions, and the inputs of each kind by array name ("Text1", ...).
    std::vector<FieldCaption*> Label1;
    std::map<QString, std::vector<QWidget*>> m_arrays;
};

#pragma once

#include <QString>
#include <QVariant>

class QWidget;
struct FieldDefinition;

// The one place that maps a field's type word to its input control: which control array it
// belongs to, how it is sized, how a stored value is shown in it and what it writes back.
namespace FieldInputs {

enum class Kind { None, Textfield, Multiline, Dropdown, Checkbox };

// The kind for a stored type word, compared without regard to case.
Kind kindOfTypeWord(const QString& typeWord);
// The kind of a generated input control, told by its control array's name.
Kind kindOfControl(const QWidget* control);
// The control array's name ("Text1", "Text2", "Combo1", "Check2").
QString arrayName(Kind kind);

// A new element of a control array, copying the template's size, font, style and enabled
// state; hidden until placed.
QWidget* loadElement(Kind kind, QWidget* templateElement);
// Text boxes follow the user's size settings; drop-downs and check boxes never do.
bool followsSizeSettings(Kind kind);
// Extra room below a row holding this kind of control, in twips.
int extraRowStep(Kind kind);

// Fills the control from its field's definition: drop-down items, the check box's start state.
void prepare(QWidget* control, const FieldDefinition& field);
// Shows a stored value (Null already read as the empty text).
void show(QWidget* control, const QString& stored);
// The value Save writes for the control.
QVariant valueToStore(const QWidget* control);
// The value written when a new record is cancelled.
QVariant cancelValue(const QWidget* control);
// The control's default property as text: the text, or 1/0 for a check box.
QString defaultText(const QWidget* control);
// Empties text boxes and drop-downs; check boxes keep their state.
void clear(QWidget* control);

} // namespace FieldInputs
